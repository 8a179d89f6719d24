#include "DialogDriver.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace mivex::host {

namespace {

struct DialogSearch {
  HWND found = nullptr;
  const wchar_t* cls;
  const wchar_t* caption;
};

BOOL CALLBACK FindOwnWindow(HWND w, LPARAM lp) {
  auto* search = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(w)) return TRUE;
  wchar_t cls[64] = {}, caption[64] = {};
  ::GetClassNameW(w, cls, 64);
  // InternalGetWindowText asks nothing of the window's (possibly busy) thread.
  ::InternalGetWindowText(w, caption, 64);
  if (::lstrcmpW(cls, search->cls) == 0 && (!search->caption || ::lstrcmpW(caption, search->caption) == 0)) {
    search->found = w;
    return FALSE;
  }
  return TRUE;
}

HWND FindOwn(const wchar_t* cls, const wchar_t* caption) {
  DialogSearch search{nullptr, cls, caption};
  ::EnumWindows(&FindOwnWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitFor(const wchar_t* cls, const wchar_t* caption, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  do {
    if (HWND w = FindOwn(cls, caption)) return w;
    ::Sleep(20);
  } while (::GetTickCount64() < end);
  return nullptr;
}

HWND ChildAt(HWND parent, POINT at) {
  return ::ChildWindowFromPointEx(parent, at, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
}

// A point inside the window's region (client coordinates), or its centre.
POINT InsidePoint(HWND window) {
  RECT r;
  ::GetClientRect(window, &r);
  POINT centre{r.right / 2, r.bottom / 2};
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  const int kind = ::GetWindowRgn(window, region);
  POINT found = centre;
  if (kind == SIMPLEREGION || kind == COMPLEXREGION) {
    if (!::PtInRegion(region, centre.x, centre.y)) {
      bool done = false;
      for (int y = 0; y < r.bottom && !done; ++y)
        for (int x = 0; x < r.right && !done; ++x)
          if (::PtInRegion(region, x, y)) {
            found = {x, y};
            done = true;
          }
    }
  }
  ::DeleteObject(region);
  return found;
}

}  // namespace

HWND WaitForDialog(DWORD timeout_ms) { return WaitFor(L"TForm", L"PX-DAV316", timeout_ms); }

HWND ControlOf(HWND dialog) { return ::GetWindow(dialog, GW_CHILD); }

std::string StatusText(HWND dialog) {
  HWND control = ControlOf(dialog);
  if (!control) return {};
  wchar_t text[2048] = {};
  ::InternalGetWindowText(control, text, 2048);
  int n = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

bool WaitForStatus(HWND dialog, const std::string& contains, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  do {
    if (StatusText(dialog).find(contains) != std::string::npos) return true;
    ::Sleep(20);
  } while (::GetTickCount64() < end);
  return false;
}

HWND FingerButton(HWND dialog, int index) { return ::GetDlgItem(ControlOf(dialog), index); }
HWND FinishButton(HWND dialog) { return ChildAt(ControlOf(dialog), kFinishButtonAt); }
HWND CancelButton(HWND dialog) { return ChildAt(ControlOf(dialog), kCancelButtonAt); }

bool Click(HWND window) {
  if (!window) return false;
  POINT at = InsidePoint(window);
  LPARAM pos = MAKELPARAM(at.x, at.y);
  // The pointer arrives, the button goes down and comes up again.
  ::PostMessageW(window, WM_MOUSEMOVE, 0, pos);
  ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, pos);
  ::PostMessageW(window, WM_LBUTTONUP, 0, pos);
  return true;
}

bool ClickFinger(HWND dialog, int index) { return Click(FingerButton(dialog, index)); }

HWND WaitForMessageBox(DWORD timeout_ms) { return WaitFor(L"#32770", nullptr, timeout_ms); }

std::string MessageBoxText(HWND box) {
  // The text of a message box is its static control 0xFFFF.
  HWND text = ::GetDlgItem(box, 0xFFFF);
  wchar_t buffer[1024] = {};
  if (text) ::InternalGetWindowText(text, buffer, 1024);
  int n = ::WideCharToMultiByte(CP_ACP, 0, buffer, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, buffer, -1, out.data(), n, nullptr, nullptr);
  return out;
}

bool AnswerMessageBox(HWND box, int button) {
  HWND item = ::GetDlgItem(box, button);
  if (!item) return false;
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(item));
  return true;
}

void CloseDialog(HWND dialog) { ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

bool SaveWindowPicture(HWND window, const std::string& path) {
  RECT r;
  if (!::GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up, as the file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  ::GdiFlush();
  const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) / 4) * 4, size = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + size;
  bool ok = false;
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, 1, size, f) == size;
    std::fclose(f);
  }
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace mivex::host
