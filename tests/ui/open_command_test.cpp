// The Open command through the menu: volume files, the extension rule,
// info files and bitmap stacks, with the exact German messages.
#include "support/app_fixture.h"

namespace {

class OpenCommand : public zxtest::AppFixture {};

}  // namespace
