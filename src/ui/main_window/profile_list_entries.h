// The entries of the profile list: the names of the profile table's profiles (its non-blank
// lines), in file order. A view reads them when it needs them; the names are not copied.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "profiles/profile_record.h"

namespace norvane {

class profile_list_entries {
  public:
    // The entries of the table as it is now; an empty list when it holds no profile. The
    // table must outlive the entries, and they must be taken again after it changes.
    void take(const profile_table& table);

    int count() const { return static_cast<int>(lines_.size()); }
    // The name of entry i (the text before the first "," of its line); empty for an entry
    // out of range or one whose line is gone since take.
    std::string_view name(int i) const;

  private:
    const profile_table* table_ = nullptr;
    std::vector<std::uint32_t> lines_;  // the table line of each entry
};

}  // namespace norvane
