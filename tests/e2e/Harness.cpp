#include "tests/e2e/Harness.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace qs::e2e {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> SessionCommand(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {QS_SESSION, "run", QS_E2E_STATE};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

pid_t Spawn(const std::vector<std::string>& argv, int outFd) {
  pid_t pid = fork();
  if (pid == 0) {
    if (outFd >= 0) {
      dup2(outFd, 1);
      dup2(outFd, 2);
    } else {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
    }
    setpgid(0, 0);
    std::vector<char*> raw;
    for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  return pid;
}

std::optional<int> WaitPid(pid_t pid, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (got < 0 || std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string Driver() { return std::string(QS_WINDOWS_TEST_DIR) + "/qdrive.exe"; }

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info ? std::string(info->test_suite_name()) + "." + info->name() : "outside";
}

}  // namespace

// Runs argv to its end, capturing stdout and stderr. Output goes to a file,
// not a pipe: Wine's own background processes may inherit the descriptor and
// would keep a pipe open forever.
CommandResult RunCaptured(const std::vector<std::string>& argv) {
  char name[] = "/tmp/qs-e2e-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) return {};
  pid_t pid = Spawn(argv, fd);
  CommandResult result;
  result.code = WaitPid(pid, 120000).value_or(-1);
  if (result.code == -1) kill(-pid, SIGKILL);
  lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] != '\r') result.out += buffer[i];  // console line ends
    }
  }
  close(fd);
  unlink(name);
  return result;
}

CommandResult RunInSession(const std::vector<std::string>& args) {
  return RunCaptured(SessionCommand(args));
}

std::string Control::Get(const std::string& key) const {
  auto it = fields.find(key);
  return it == fields.end() ? std::string() : it->second;
}

int Control::Int(const std::string& key) const { return std::atoi(Get(key).c_str()); }

std::string Control::text() const { return Unescape(Get("text")); }

const Control& Dump::ById(int id) const {
  for (const Control& c : controls) {
    if (c.id() == id) return c;
  }
  ADD_FAILURE() << "no control " << id << " in the dump:\n" << raw;
  static Control none;
  return none;
}

bool Dump::Has(int id) const {
  for (const Control& c : controls) {
    if (c.id() == id) return true;
  }
  return false;
}

CommandResult Drive(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"wine", Driver()};
  all.insert(all.end(), args.begin(), args.end());
  return RunInSession(all);
}

std::optional<Dump> DumpWindow(const std::string& window) {
  CommandResult r = Drive({"dump", window});
  if (r.code != 0) return std::nullopt;
  Dump dump;
  dump.raw = r.out;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind, field;
    std::getline(fields, kind, '\t');
    if (kind != "window" && kind != "ctrl") continue;
    Control control;
    while (std::getline(fields, field, '\t')) {
      size_t eq = field.find('=');
      if (eq != std::string::npos) control.fields[field.substr(0, eq)] = field.substr(eq + 1);
    }
    if (kind == "window") {
      dump.window = control;
    } else {
      dump.controls.push_back(control);
    }
  }
  return dump;
}

std::optional<std::string> AnswerBox(const std::string& caption, int button) {
  CommandResult r = Drive({"answer", caption, std::to_string(button)});
  if (r.code != 0) return std::nullopt;
  std::string text = r.out;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return Unescape(text);
}

std::string Pixel(int x, int y) {
  std::string out = Drive({"pixel", std::to_string(x), std::to_string(y)}).out;
  return out.substr(0, 6);
}

void Screenshot(const std::string& name) {
  fs::path dir = fs::path(QS_E2E_STATE) / "screens";
  fs::create_directories(dir);
  fs::path file = dir / (TestName() + "." + name + ".png");
  Drive({"screenshot", WindowsPath(file.string())});
  std::printf("screenshot: %s\n", file.c_str());
}

std::string WindowsPath(const std::string& unixPath) {
  std::string out = "Z:" + unixPath;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

std::string WinePrefix() {
  std::istringstream lines(RunCaptured({QS_SESSION, "env", QS_E2E_STATE}).out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("WINEPREFIX=", 0) == 0) return line.substr(11);
  }
  return std::string();
}

std::string ToSjis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size(), outLeft = out.size();
  char* dst = out.data();
  iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

Product::Product(const std::string& name) {
  fs::path dir = fs::path(QS_E2E_STATE) / "cases" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(fs::path(QS_WINDOWS_TEST_DIR) / "SETUP.EXE", dir / "SETUP.EXE");
  folder_ = dir.string();
}

Product::~Product() {
  if (pid_ > 0 && Running()) {
    kill(-pid_, SIGKILL);
    WaitPid(pid_, 5000);
  }
}

std::string Product::WinPath(const std::string& name) const {
  return WindowsPath(folder_ + "/" + name);
}

void Product::WriteSjis(const std::string& name, const std::string& utf8) const {
  WriteBytes(name, ToSjis(utf8));
}

void Product::WriteBytes(const std::string& name, const std::string& bytes) const {
  fs::path path = fs::path(folder_) / name;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

void Product::Launch(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"wine", folder_ + "/SETUP.EXE"};
  all.insert(all.end(), args.begin(), args.end());
  pid_ = Spawn(SessionCommand(all), -1);
}

void Product::LaunchProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& unixFolder) {
  std::vector<std::string> all = {"wine", program};
  all.insert(all.end(), args.begin(), args.end());
  fs::path here = fs::current_path();
  fs::current_path(unixFolder);  // the child starts where it is forked
  pid_ = Spawn(SessionCommand(all), -1);
  fs::current_path(here);
}

std::optional<int> Product::RunAgain(const std::vector<std::string>& args, int timeoutMs) {
  std::vector<std::string> all = {"wine", folder_ + "/SETUP.EXE"};
  all.insert(all.end(), args.begin(), args.end());
  pid_t pid = Spawn(SessionCommand(all), -1);
  std::optional<int> code = WaitPid(pid, timeoutMs);
  if (!code) {
    kill(-pid, SIGKILL);
    WaitPid(pid, 5000);
  }
  return code;
}

std::optional<int> Product::WaitExit(int timeoutMs) {
  std::optional<int> code = WaitPid(pid_, timeoutMs);
  if (code) pid_ = -1;
  return code;
}

bool Product::Running() {
  if (pid_ <= 0) return false;
  if (WaitPid(pid_, 0)) {
    pid_ = -1;
    return false;
  }
  return true;
}

}  // namespace qs::e2e
