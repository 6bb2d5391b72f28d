#include "utils/Pipe.h"

#include "utils/Exception.h"

namespace Utils {

void Pipe::Create() {
    Close();
    if (!platform::OpenPipe(read_, write_)) throw Exception();
}

}  // namespace Utils
