#include "cli/cli_codec.h"

namespace zelvaro::cli {

// No Audio Compression Manager outside Windows.
AcmApi* installedCodecs() { return nullptr; }

}  // namespace zelvaro::cli
