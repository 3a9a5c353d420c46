#include "cli/CliSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace clitest {

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string TakeText(const fs::path& path) {
  const auto bytes = oracle::ReadFile(path);
  fs::remove(path);
  return std::string(bytes.begin(), bytes.end());
}

// Starts velkor in dir; its stdout goes to dir/.stdout, its stderr to
// stderrFd (or nowhere).
pid_t Spawn(const fs::path& dir, const std::vector<std::string>& args, int stderrFd) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) _exit(126);
    const int devnull = ::open("/dev/null", O_WRONLY);
    const int out = ::open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(stderrFd >= 0 ? stderrFd : devnull, 2);
    std::vector<char*> argv{const_cast<char*>(VELKOR_CLI)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(VELKOR_CLI, argv.data());
    _exit(127);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

CommandResult RunVelkorScript(const std::string& script, const fs::path& dir) {
  const std::string cmd = "cd " + Quote(dir.string()) + " && VELKOR=" + Quote(VELKOR_CLI) + " && { " + script +
                          "; } >.stdout 2>.stderr";
  const int raw = std::system(cmd.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return {status, TakeText(dir / ".stdout"), TakeText(dir / ".stderr")};
}

CommandResult RunVelkor(const std::string& args, const fs::path& dir, const std::string& stdinFile) {
  return RunVelkorScript("\"$VELKOR\" " + args + (stdinFile.empty() ? "" : " <" + Quote(stdinFile)), dir);
}

oracle::Image DecodeFile(const fs::path& path) {
  oracle::Image image;
  std::string error;
  EXPECT_TRUE(oracle::DecodePng(oracle::ReadFile(path), image, &error)) << path << ": " << error;
  return image;
}

fs::path CopySuiteFile(const std::string& name, const fs::path& dir) {
  const fs::path target = dir / name;
  fs::copy_file(oracle::DataDir() / "pngsuite" / name, target, fs::copy_options::overwrite_existing);
  return target;
}

size_t CountLines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

std::string ChunkTypes(const fs::path& png) {
  std::vector<oracle::Chunk> chunks;
  EXPECT_TRUE(oracle::ListChunks(oracle::ReadFile(png), chunks)) << png;
  std::string all;
  for (const auto& c : chunks) all += c.type + " ";
  return all;
}

CommandResult SignalVelkorAfter(const fs::path& dir, const std::vector<std::string>& args, const std::string& waitFor,
                                int signal, int count) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  std::vector<std::string> all = {"-v"};
  all.insert(all.end(), args.begin(), args.end());
  const pid_t pid = Spawn(dir, all, pipeFds[1]);
  ::close(pipeFds[1]);
  CommandResult result;
  char buffer[4096];
  // A second Ctrl-C means something only after the first was handled (two
  // pending signals of one kind arrive as one), so each further signal waits
  // for the command's note that it took the first; a fixed delay is not
  // enough on a busy machine.
  static const std::string kFirstTaken = "Ctrl-C again to cancel";
  int sent = 0;
  for (;;) {
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.err.append(buffer, size_t(n));
    if (sent == 0 && result.err.find(waitFor) != std::string::npos) {
      ::kill(pid, signal);
      sent = 1;
    }
    if (sent == 1 && count > 1 && result.err.find(kFirstTaken) != std::string::npos) {
      ::kill(pid, signal);
      sent = 2;
    }
  }
  ::close(pipeFds[0]);
  result.status = Wait(pid);
  result.out = TakeText(dir / ".stdout");
  return result;
}

int SignalVelkor(const fs::path& dir, const std::vector<std::string>& args, int signal, int count, int delayMs) {
  const pid_t pid = Spawn(dir, args, -1);
  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  for (int i = 0; i < count; ++i) ::kill(pid, signal);
  const int status = Wait(pid);
  fs::remove(dir / ".stdout");
  return status;
}

int RunPythonPng(const std::string& script) {
  static const std::string kWriter =
      "import struct, zlib\n"
      "def chunk(t, d):\n"
      "    return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)\n"
      "def rows(samples, w, h, bpp):\n"
      "    # samples: bytes of h rows of w * bpp bytes; filter None per row\n"
      "    out = b''\n"
      "    for y in range(h):\n"
      "        out += b'\\x00' + samples[y * w * bpp:(y + 1) * w * bpp]\n"
      "    return zlib.compress(out, 9)\n"
      "def ihdr(w, h, depth, ct, interlace=0):\n"
      "    return chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, ct, 0, 0, interlace))\n"
      "SIG = b'\\x89PNG\\r\\n\\x1a\\n'\n"
      "IEND = chunk(b'IEND', b'')\n";
  return oracle::RunPython(kWriter + script);
}

void ExpectNoTemporaryFiles(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    EXPECT_EQ(entry.path().filename().string().find(".velkor-"), std::string::npos) << entry.path();
  }
}

}  // namespace clitest
