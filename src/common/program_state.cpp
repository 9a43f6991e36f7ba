#include "common/program_state.h"

namespace norvane {

void release_file_system(program_state& state) {
    state.file_system.reset();
}

}  // namespace norvane
