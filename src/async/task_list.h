// A circular doubly-linked list through links kept inside its elements: the
// dispatcher's queue and its list of started tasks. No allocation, so moving
// a task between lists cannot fail.
#pragma once

namespace ryl::async {

struct TaskLinks {
  TaskLinks* prev = nullptr;
  TaskLinks* next = nullptr;

  bool IsLinked() const noexcept { return next != nullptr; }
};

class TaskList {
 public:
  TaskList() noexcept { head_.prev = head_.next = &head_; }
  TaskList(const TaskList&) = delete;
  TaskList& operator=(const TaskList&) = delete;

  bool IsEmpty() const noexcept { return head_.next == &head_; }
  TaskLinks* Front() noexcept { return IsEmpty() ? nullptr : head_.next; }

  void PushBack(TaskLinks* links) noexcept {
    links->prev = head_.prev;
    links->next = &head_;
    head_.prev->next = links;
    head_.prev = links;
  }

  static void Unlink(TaskLinks* links) noexcept {
    if (!links->IsLinked()) return;
    links->prev->next = links->next;
    links->next->prev = links->prev;
    links->prev = links->next = nullptr;
  }

 private:
  TaskLinks head_;
};

}  // namespace ryl::async
