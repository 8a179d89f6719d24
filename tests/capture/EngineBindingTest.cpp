// The engine binding against the test engine, and the device properties that reach it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "CaptureTestSupport.h"
#include "capture/ScoreScale.h"

using namespace mivex;
using namespace capture_test;

namespace {

template <typename F>
std::string ThrownMessage(F&& f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

}  // namespace

TEST(EngineBinding, LoadsByNameResolvesEveryEntryPointAndStartsOnce) {
  const Fakes& f = Start();
  ASSERT_TRUE(EngineLibraryLoaded());
  ASSERT_TRUE(SensorLibraryLoaded());
  for (const char* name : {"VFInitialize", "VFFinalize", "VFCreateContext", "VFFreeContext", "VFGetParameter",
                           "VFSetParameter", "VFExtract", "VFGeneralize", "VFVerify"})
    EXPECT_TRUE(EngineEntryPointBound(name)) << name;
  EXPECT_FALSE(EngineEntryPointBound("VFIdentifyStart"));
  // A second load neither reloads nor re-initialises.
  EXPECT_TRUE(LoadEngineLibrary());
  EXPECT_EQ(f.FV_InitializeCalls(), 1);
}

TEST(EngineBinding, TypedParametersAndTheirFailures) {
  Start();
  const VFContext context = VFCreateContext();
  SetIntParameter(300, 47, context);
  EXPECT_EQ(GetIntParameter(300, context), 47);
  EXPECT_EQ(GetParameterType(200), 6);
  EXPECT_NO_THROW(CheckParameterType(200, 6));
  // Parameter 1234 reports type 3: refused before anything is written.
  EXPECT_EQ(ThrownMessage([&] { SetIntParameter(1234, 5, context); }), "Vandrel parameter is of wrong type");
  // An unknown id fails the type query itself, with the engine's code and text.
  EXPECT_EQ(ThrownMessage([&] { GetIntParameter(999, context); }),
            "Vandrel error:\r\tCode = -10\r\tDescription = Invalid parameter");
  EXPECT_NO_THROW(CheckEngineResult(0));
  EXPECT_NO_THROW(CheckEngineResult(17));
  EXPECT_EQ(ThrownMessage([] { CheckEngineResult(-2005); }),
            "Vandrel error:\r\tCode = -2005\r\tDescription = No scanner connected");
  VFFreeContext(context);
}

TEST(DeviceProperties, ConstructionConfiguresTheEngineAndDestructionFreesTheContext) {
  const Fakes& f = Start();
  const int contexts = f.FV_LiveContexts();
  {
    auto device = CreateSensorDevice();
    EXPECT_EQ(f.FV_LiveContexts(), contexts + 1);
    EXPECT_NE(device->Context(), 0);
    EXPECT_EQ(f.FV_Parameter(110), static_cast<int>(TExtractParameter::epOmitBO));
    EXPECT_EQ(f.FV_Parameter(11000), 1);
    EXPECT_EQ(device->ExtractThreshold(), 120);
    EXPECT_EQ(device->MinMinutiaeCount(), 14);
    EXPECT_EQ(device->MaxEnrollTry(), 10);
    EXPECT_EQ(device->DisplayType(), TDisplayType::dtFullImage);
    EXPECT_EQ(device->TemplateType(), TTemplateType::ttDefault);
    EXPECT_EQ(device->GetSampleCount(), 3);
    std::string name;
    device->GetDeviceName(name);
    EXPECT_EQ(name, "FPKV310");
    EXPECT_FALSE(device->IsOpened());
  }
  EXPECT_EQ(f.FV_LiveContexts(), contexts);
  TKV310 plain(nullptr);
  EXPECT_EQ(plain.MinMinutiaeCount(), 18);
}

TEST(DeviceProperties, SettersFollowTheirRules) {
  const Fakes& f = Start();
  auto device = CreateSensorDevice();
  EXPECT_EQ(device->DeviceType(), TDeviceType::dTKV310);
  EXPECT_EQ(static_cast<int>(device->DeviceType()), 33);
  device->SetTemplateType(TTemplateType::ttNormalize);
  EXPECT_EQ(static_cast<int>(device->DeviceType()), 31);
  device->SetExtractParameter(TExtractParameter::epAllFeatures);
  EXPECT_EQ(f.FV_Parameter(110), 0);
  device->SetTemplateType(TTemplateType::ttAbig);
  EXPECT_EQ(static_cast<int>(device->DeviceType()), 30);
  EXPECT_EQ(device->ExtractParameter(), TExtractParameter::epOmitBO);
  EXPECT_EQ(f.FV_Parameter(110), 1);

  device->SetExtractThreshold(79);
  EXPECT_EQ(device->ExtractThreshold(), 120);
  device->SetExtractThreshold(80);
  EXPECT_EQ(device->ExtractThreshold(), 80);

  device->SetSecurityLevel(TSecurityLevel::fsLevelA);
  EXPECT_EQ(device->SecurityLevel(), TSecurityLevel::fsLevelA);
  EXPECT_EQ(f.FV_Parameter(200), 63);
  EXPECT_EQ(f.FV_Parameter(300), 63);
  EXPECT_DOUBLE_EQ(device->GeneralizeFAR(), 0.001);
  device->SetSecurityLevel(TSecurityLevel::fsLevelE);
  EXPECT_EQ(f.FV_Parameter(200), FARToScore(0.02));
  device->SetGeneralizeFAR(0.01);
  EXPECT_EQ(f.FV_Parameter(300), 47);

  // The engine-backed device stores any policy; the base rule applies to other devices.
  device->SetEnrollPolicy(TEnrollPolicy::epEnrollQuality);
  EXPECT_EQ(device->EnrollPolicy(), TEnrollPolicy::epEnrollQuality);
}

namespace {
// A device of a configurable family, for the base class's enrollment-policy rule.
class FamilyDevice : public TFPBase {
 public:
  FamilyDevice(TComponent* owner, int family) : TFPBase(owner), family_(family) {}
  void ExecuteOperation() override {}
  const std::uint8_t* GetTemplate() override { return nullptr; }
  TDeviceType GetDeviceType() override { return static_cast<TDeviceType>(family_); }
  void GetDeviceName(std::string& name) override { name = "family"; }
  bool Open() override { return false; }
  void Close() override {}

 private:
  int family_;
};
}  // namespace

TEST(DeviceProperties, BaseEnrollPolicyRuleKeepsQualityOnlyForFamiliesOneAndFive) {
  for (int family : {0, 1, 2, 5, 30, 31, 33}) {
    FamilyDevice device(nullptr, family);
    device.SetEnrollPolicy(TEnrollPolicy::epEnrollQuality);
    const bool keeps = family == 1 || family == 5;
    EXPECT_EQ(device.EnrollPolicy(), keeps ? TEnrollPolicy::epEnrollQuality : TEnrollPolicy::epEnrollCount)
        << family;
    EXPECT_EQ(device.GetSampleCount(), 6);
    EXPECT_EQ(device.DeviceNumbers(), 1);
  }
  // A device that cannot open ignores Start and raises nothing.
  FamilyDevice closed(nullptr, 0);
  bool raised = false;
  closed.OnError = [&](TObject*, std::int32_t) { raised = true; };
  const int threads = ThreadCount();
  closed.Start();
  EXPECT_FALSE(closed.Busy());
  EXPECT_FALSE(raised);
  EXPECT_LE(ThreadCount(), threads);
}
