#include "src/opts/option_list.h"

#include "src/opts/opts.h"

namespace vant::opts {

void list_append(OptionEntry*& head, OptionEntry* entry) {
  entry->next = nullptr;
  if (head == nullptr) {
    entry->prev = entry;
    head = entry;
    return;
  }
  OptionEntry* tail = head->prev;
  entry->prev = tail;
  tail->next = entry;
  head->prev = entry;
}

void list_unlink(OptionEntry*& head, OptionEntry* entry) {
  if (entry == head && entry->next == nullptr) {
    head = nullptr;
  } else if (entry == head) {
    // The successor becomes the head and inherits the link to the tail.
    head = entry->next;
    head->prev = entry->prev;
  } else {
    entry->prev->next = entry->next;
    if (entry->next != nullptr) {
      entry->next->prev = entry->prev;
    } else {
      head->prev = entry->prev;
    }
  }
  // A record off the list must not keep pointing into it.
  entry->prev = nullptr;
  entry->next = nullptr;
}

}  // namespace vant::opts
