#pragma once
// Working rows of a short computation, left unset: on the stack when `count` fits the
// room given, else on the heap. Preparing a template would otherwise ask the allocator
// for rows several times per record, which in a server comparing a stream of new
// records costs more than the arithmetic that fills them.
#include <cstddef>
#include <memory>

namespace mivex::vandrel {

template <typename T, std::size_t kOnStack>
class WorkingRows {
 public:
  explicit WorkingRows(std::size_t count) {
    if (count > kOnStack) {
      heap_ = std::make_unique_for_overwrite<T[]>(count);
      data_ = heap_.get();
    }
  }
  WorkingRows(const WorkingRows&) = delete;
  WorkingRows& operator=(const WorkingRows&) = delete;
  T* data() { return data_; }

 private:
  T stack_[kOnStack];
  std::unique_ptr<T[]> heap_;
  T* data_ = stack_;
};

}  // namespace mivex::vandrel
