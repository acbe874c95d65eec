// The in-memory Windows under the name the tests use.
#pragma once

#include "platform/fake/FakePlatform.h"

namespace qs::test {
using fake::FakePlatform;
}  // namespace qs::test
