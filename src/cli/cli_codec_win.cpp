#include "cli/cli_codec.h"

namespace zelvaro::cli {

AcmApi* installedCodecs() { return &platformAcm(); }

}  // namespace zelvaro::cli
