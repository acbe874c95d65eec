#include "tests/contract/PlatformContract.h"
#include "tests/support/FakePlatform.h"

namespace qs::contract {
namespace {

class FakeWorld : public World {
 public:
  FakeWorld() { fake_.AddFolder("C:\\CONTRACT"); }
  Platform& platform() override { return fake_; }
  std::string root() override { return "C:\\CONTRACT"; }

 private:
  test::FakePlatform fake_;
};

}  // namespace

std::unique_ptr<World> MakeWorld() { return std::make_unique<FakeWorld>(); }

}  // namespace qs::contract
