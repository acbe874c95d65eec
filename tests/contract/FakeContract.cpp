#include "tests/contract/PlatformContract.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ThreadBeside.h"

namespace qs::contract {
namespace {

// The in-memory Windows, with the second thread that the unit tests stand
// in for Windows' own: it must keep the same contract.
class FakeWithThread : public test::FakePlatform {
 public:
  std::unique_ptr<Beside> MakeBeside() override { return std::make_unique<test::ThreadBeside>(); }
};

class FakeWorld : public World {
 public:
  FakeWorld() { fake_.AddFolder("C:\\CONTRACT"); }
  Platform& platform() override { return fake_; }
  std::string root() override { return "C:\\CONTRACT"; }
  bool MakeLink(const std::string& path, const std::string& target, bool folder) override {
    fake_.AddLink(path, target, folder);
    return true;
  }
  bool MakeHardLink(const std::string& path, const std::string& existing) override {
    fake_.AddHardLink(path, existing);
    return true;
  }
  bool MakeRegistryLink(const std::string& path, const std::string& target) override {
    fake_.AddRegistryLink(RegRoot::CurrentUser, path, RegRoot::CurrentUser, target);
    return true;
  }

 private:
  FakeWithThread fake_;
};

}  // namespace

std::unique_ptr<World> MakeWorld() { return std::make_unique<FakeWorld>(); }

}  // namespace qs::contract
