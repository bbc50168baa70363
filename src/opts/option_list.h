// The doubly linked list of option records. The head's prev link points to
// the tail so that appending needs no walk; the tail's next link is null.
#pragma once

struct OptionEntry;

namespace vant::opts {

// Links `entry` in after the tail; the first record becomes the head with its
// prev link pointing to itself.
void list_append(OptionEntry*& head, OptionEntry* entry);

// Unlinks `entry`, which must be on the list, and clears its links.
void list_unlink(OptionEntry*& head, OptionEntry* entry);

}  // namespace vant::opts
