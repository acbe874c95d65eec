#include "tests/e2e/Harness.h"

#include "flow/ControlIds.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <pwd.h>
#include <signal.h>
#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <thread>

namespace qs::e2e {
namespace fs = std::filesystem;

std::string StateDir() {
  const char* state = std::getenv("QS_E2E_STATE");
  return state && *state ? state : QS_E2E_STATE;
}

namespace {

std::vector<std::string> SessionCommand(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {QS_SESSION, "run", StateDir()};
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
    execvp(raw[0], raw.data());
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

std::string Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  std::string out(text.size() * 3 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size(), outLeft = out.size();
  char* dst = out.data();
  iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
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

// The driver says why whenever it fails; a failure with nothing said is
// Wine's, not the driver's (seen now and then on a loaded machine: exit 1,
// no word, the window there). A command that only looks is then run once
// more, with Wine's error messages on, and both tries are told.
CommandResult Drive(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"wine", Driver()};
  all.insert(all.end(), args.begin(), args.end());
  CommandResult got = RunInSession(all);
  static const std::set<std::string> looks = {"windows", "wait",  "gone",    "count",
                                              "dump",    "state", "focus",   "foreground",
                                              "pixel",   "regget", "capture", "screenshot"};
  if (got.code == 0 || !got.out.empty() || args.empty() || !looks.count(args[0])) return got;
  const int first = got.code;
  std::vector<std::string> again = {"env", "QS_WINEDEBUG=err+all"};
  for (const std::string& arg : SessionCommand(all)) again.push_back(arg);
  got = RunCaptured(again);
  std::printf("qdrive %s ended with %d and said nothing; again, with Wine's errors on: exit %d\n%s\n",
              args[0].c_str(), first, got.code, got.out.c_str());
  return got;
}

std::optional<Dump> DumpWindow(const std::string& window) {
  CommandResult r = Drive({"dump", window});
  if (r.code != 0) {
    // What the driver (or Wine starting it) said, for the caller's failure.
    std::fprintf(stderr, "qdrive dump %s ended with %d:\n%s\n", window.c_str(), r.code,
                 r.out.c_str());
    return std::nullopt;
  }
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

std::optional<std::string> AnswerBox(const std::string& caption, int button, int timeoutMs) {
  CommandResult r = Drive({"answer", caption, std::to_string(button), "-t", std::to_string(timeoutMs)});
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
  fs::path dir = fs::path(StateDir()) / "screens";
  fs::create_directories(dir);
  fs::path file = dir / (TestName() + "." + name + ".png");
  Drive({"screenshot", WindowsPath(file.string())});
  std::printf("screenshot: %s\n", file.c_str());
}

std::string Capture(const std::string& window, const std::string& name,
                    const std::vector<int>& rect) {
  fs::path dir = fs::path(StateDir()) / "screens";
  fs::create_directories(dir);
  fs::path file = dir / (TestName() + "." + name + ".png");
  fs::remove(file);
  std::vector<std::string> args = {"capture", window, WindowsPath(file.string())};
  for (int n : rect) args.push_back(std::to_string(n));
  CommandResult got = Drive(args);
  EXPECT_EQ(0, got.code) << "capture of " << window << ": " << got.out;
  std::printf("capture: %s\n", file.c_str());
  return file.string();
}

void Click(int id) {
  CommandResult r = Drive({"click", kMain, std::to_string(id)});
  EXPECT_EQ(0, r.code) << "click " << id << ": " << r.out << Drive({"windows"}).out;
}

void SetText(int id, const std::string& text) {
  CommandResult r = Drive({"settext", kMain, std::to_string(id), text});
  EXPECT_EQ(0, r.code) << "settext " << id << ": " << r.out << Drive({"windows"}).out;
}

bool WaitEnabled(int id) { return WaitEnabled(kMain, id); }

int WaitFocus(int id) {
  return std::atoi(Drive({"state", kMain, std::to_string(id), "focused"}).out.c_str());
}

bool WaitGone(const std::string& window) { return Drive({"gone", window}).code == 0; }

bool ConfirmCompletion(Product& product) {
  if (Drive({"wait", "完了", "-t", "60000"}).code != 0 || !AnswerBox("完了", kIdOk)) {
    ADD_FAILURE() << "no completion message:\n" << Drive({"windows"}).out;
    return false;
  }
  std::optional<int> code = product.WaitExit(20000);
  if (!code) {
    ADD_FAILURE() << "the program did not end";
    return false;
  }
  EXPECT_EQ(0, *code);
  return true;
}

void StartInstall(Product& product, const std::string& folder, const std::set<int>& flip) {
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(kMain, ids::kBtnSetup, 30000));
  if (!folder.empty()) SetText(ids::kTxtFolder, folder);
  for (int id : flip) Click(id);
  std::optional<Dump> dump = DumpWindow(kMain);
  ASSERT_TRUE(dump.has_value());
  for (int id : {ids::kChkOverWrite, ids::kChkSCutDesktop, ids::kChkSCutStartMenu,
                 ids::kChkSCutStartUp, ids::kChkSCutSendTo}) {
    ASSERT_EQ(flip.count(id) == 0, dump->ById(id).checked()) << "box " << id;
  }
  Click(ids::kBtnSetup);
}

std::string ReadFailureList() {
  if (!AnswerBox("警告", kIdYes)) {
    ADD_FAILURE() << "no failure question:\n" << Drive({"windows"}).out;
    return std::string();
  }
  if (!WaitEnabled(ids::kBtnCloseErrorLog)) {
    ADD_FAILURE() << "no failure list";
    return std::string();
  }
  Screenshot("failure-list");
  std::optional<Dump> dump = DumpWindow(kMain);
  std::string list = dump ? dump->ById(ids::kTxtReadme).text() : std::string();
  Click(ids::kBtnCloseErrorLog);
  return list;
}

void EndWithEndButton(Product& product) {
  Click(ids::kBtnEnd);
  ASSERT_TRUE(AnswerBox("終了確認", kIdYes).has_value()) << "no close question";
  std::optional<int> code = product.WaitExit(15000);
  ASSERT_TRUE(code.has_value()) << "the program did not end";
  EXPECT_EQ(0, *code);
}

void ExpectBackAfterNo(Product& product) {
  EXPECT_TRUE(WaitGone("終了確認")) << Drive({"windows"}).out;
  EXPECT_TRUE(WaitEnabled(kMain, 0)) << "the main window is not usable again";
  EXPECT_TRUE(product.Running());
  EXPECT_EQ("1\n", Drive({"count", kMain}).out);
}

std::optional<std::string> RegData(const std::string& key, const std::string& name) {
  CommandResult got = Drive({"regget", key, name});
  if (got.code == 1) return std::nullopt;  // the system says: no such key or value
  EXPECT_EQ(0, got.code) << "qdrive regget " << key << " " << name << ": " << got.out;
  if (got.code != 0) return std::nullopt;
  std::string value = got.out;
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

void RegDelete(const std::string& key) { RunInSession({"wine", "reg", "delete", key, "/f"}); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}


std::string ReadSjis(const std::string& path) { return Convert(ReadFile(path), "UTF-8", "CP932"); }

std::string ReadText(const std::string& path) {
  std::string bytes = ReadFile(path);
  if (bytes.rfind("\xff\xfe", 0) == 0) return Convert(bytes.substr(2), "UTF-8", "UTF-16LE");
  if (bytes.rfind("\xef\xbb\xbf", 0) == 0) return bytes.substr(3);
  return Convert(bytes, "UTF-8", "CP932");
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
    out += c;
  }
  return out;
}

std::vector<std::string> IniValues(const std::string& text, const std::string& section) {
  std::vector<std::string> out;
  std::istringstream lines(text);
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + section + "]";
      continue;
    }
    size_t eq = line.find('=');
    if (inside && eq != std::string::npos) out.push_back(line.substr(eq + 1));
  }
  return out;
}

void RemoveFile(const std::string& path) {
  RunCaptured({"/usr/bin/chattr", "-i", path});
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
  fs::remove(path, ignored);
}

void SetAge(const std::string& path, int secondsFromNow) {
  fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(secondsFromNow));
}

Immutable::Immutable(std::string path) : path_(std::move(path)) {
  EXPECT_EQ(0, RunCaptured({"/usr/bin/chattr", "+i", path_}).code) << path_;
}

Immutable::~Immutable() { RunCaptured({"/usr/bin/chattr", "-i", path_}); }

ShellFolders UserFolders() {
  const fs::path drive = fs::path(WinePrefix()) / "drive_c";
  const fs::path user = drive / "users" / WineUser();
  const fs::path roaming = user / "AppData/Roaming/Microsoft/Windows";
  ShellFolders folders{(user / "Desktop").string(),
                       (roaming / "Start Menu/Programs").string(),
                       (roaming / "Start Menu/Programs/StartUp").string(),
                       (roaming / "SendTo").string(),
                       (drive / "windows").string(),
                       (drive / "windows/system32").string(),
                       (user / "Temp").string()};
  // A place lost to an earlier failed run would make every later link there
  // fail quietly.
  for (const std::string& place :
       {folders.desktop, folders.programs, folders.startup, folders.sendTo}) {
    fs::create_directories(place);
  }
  return folders;
}

namespace {

// The whole registry through regedit's export (UTF-16), one entry per key
// and per value. Keys that Wine rewrites whenever a window program runs are
// left out.
std::map<std::string, std::string> ExportRegistry() {
  const fs::path file = fs::path(StateDir()) / "registry-export.reg";
  fs::remove(file);
  RunInSession({"wine", "regedit", "/e", WindowsPath(file.string())});
  std::string text = Convert(ReadFile(file.string()), "UTF-8", "UTF-16");
  std::map<std::string, std::string> entries;
  std::istringstream lines(text);
  std::string key, pending;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!pending.empty()) {
      // A value continued on the next line.
      size_t start = line.find_first_not_of(' ');
      line = pending + (start == std::string::npos ? "" : line.substr(start));
      pending.clear();
    }
    if (!line.empty() && line.back() == '\\') {
      pending = line.substr(0, line.size() - 1);
      continue;
    }
    if (line.empty()) continue;
    if (line[0] == '[') {
      key = line;
    } else if (!key.empty()) {
      line = key + "\t" + line;
    } else {
      continue;
    }
    if (key.find("\\Temporary System Parameters") != std::string::npos) continue;
    entries[line];
  }
  return entries;
}

}  // namespace

PrefixState CapturePrefix() {
  PrefixState state;
  const fs::path drive = fs::path(WinePrefix()) / "drive_c";
  for (auto it = fs::recursive_directory_iterator(drive, fs::directory_options::skip_permission_denied);
       it != fs::recursive_directory_iterator(); ++it) {
    std::string path = fs::relative(it->path(), drive).string();
    struct stat st {};
    if (lstat(it->path().c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      state.files[path] = "dir";
    } else {
      state.files[path] = std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) +
                          "." + std::to_string(st.st_mtim.tv_nsec);
    }
  }
  state.registry = ExportRegistry();
  return state;
}

std::vector<std::string> Differences(const PrefixState& before, const PrefixState& after) {
  std::vector<std::string> out;
  auto compare = [&out](const std::map<std::string, std::string>& a,
                        const std::map<std::string, std::string>& b) {
    for (const auto& [name, value] : a) {
      auto it = b.find(name);
      if (it == b.end()) {
        out.push_back("- " + name);
      } else if (it->second != value) {
        out.push_back("~ " + name);
      }
    }
    for (const auto& [name, value] : b) {
      if (!a.count(name)) out.push_back("+ " + name);
    }
  };
  compare(before.files, after.files);
  compare(before.registry, after.registry);
  return out;
}

std::string WindowsPath(const std::string& unixPath) {
  std::string out = "Z:" + unixPath;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

namespace {

// A setting of the session, as session.sh env prints it.
std::string SessionSetting(const std::string& name) {
  std::istringstream lines(RunCaptured({QS_SESSION, "env", StateDir()}).out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(name + "=", 0) == 0) return line.substr(name.size() + 1);
  }
  return std::string();
}

}  // namespace

std::string WinePrefix() { return SessionSetting("WINEPREFIX"); }

std::string WineUser() {
  std::string user = SessionSetting("USER");
  return user.empty() ? getpwuid(getuid())->pw_name : user;
}

std::string ToSjis(const std::string& utf8) { return Convert(utf8, "CP932", "UTF-8"); }

std::string FromSjis(const std::string& sjis) { return Convert(sjis, "UTF-8", "CP932"); }

void ShipSample(const Product& product) {
  const fs::path sample = fs::path(QS_SOURCE_DIR) / "examples/sample";
  for (const char* name : {"SETUP.INI", "README.TXT", "SAMPLE.TXT"}) {
    product.WriteSjis(name, Crlf(ReadFile((sample / name).string())));
  }
  product.WriteBytes("MANUAL.TX_", ReadFile(QS_BINARY_DIR "/sample/MANUAL.TX_"));
}

void ForgetSampleInstalls() {
  const fs::path appunset = fs::path(WinePrefix()) / "drive_c/windows/APPUNSET.EXE";
  if (fs::exists(appunset)) {
    fs::permissions(appunset, fs::perms::owner_write, fs::perm_options::add);
    fs::remove(appunset);
  }
  RegDelete("HKCU\\Software\\Quillo");
  // Nor its links: a start-menu folder an earlier run left would not be
  // made again, and the run would not be the one its plan shows.
  const ShellFolders folders = UserFolders();
  std::error_code ec;
  fs::remove(fs::path(folders.desktop) / "サンプル.lnk", ec);
  fs::remove_all(fs::path(folders.programs) / "Quillo Sample", ec);
}

// A control that stays disabled says what the driver and the screen showed.
bool WaitEnabled(const std::string& window, int id, int milliseconds) {
  CommandResult got =
      Drive({"state", window, std::to_string(id), "enabled", "-t", std::to_string(milliseconds)});
  if (got.code == 0) return true;
  std::printf("control %d of %s not enabled in %d ms (driver exit %d): %s\nwindows:\n%s\n", id,
              window.c_str(), milliseconds, got.code, got.out.c_str(), Drive({"windows"}).out.c_str());
  return false;
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
  fs::path dir = fs::path(StateDir()) / "cases" / name;
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

void Product::Launch(const std::vector<std::string>& args, const std::string& program) {
  std::vector<std::string> all = {"wine", program.empty() ? folder_ + "/SETUP.EXE" : program};
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

std::string WineTemp() {
  return (std::filesystem::path(WinePrefix()) / "drive_c/users" / WineUser() / "Temp").string();
}

std::string WorkTemp() {
  const std::filesystem::path windows = std::filesystem::path(WinePrefix()) / "drive_c/windows";
  for (const char* name : {"temp", "Temp", "TEMP"}) {
    if (std::filesystem::is_directory(windows / name)) return (windows / name).string();
  }
  return (windows / "temp").string();
}

void ClearWorkFolders() {
  for (const std::string& name : LeftWorkFolders()) {
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(WorkTemp()) / name, error);
  }
}

std::vector<std::string> LeftWorkFolders(const std::string& temp) {
  std::vector<std::string> left;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(temp, error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_directory() && name.size() == 18 && name.rfind("QS", 0) == 0) left.push_back(name);
  }
  return left;
}

}  // namespace qs::e2e
