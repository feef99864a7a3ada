// The game packer: turns a project folder into a game file.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Pack.h"
#include "Pack_Output.h"
#include "Project.h"
#include "runner/Support_Various.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "Usage: roompack PROJECT_DIR -o OUTPUT [--exe] [--runner PATH]\n"
    "\n"
    "Packs the project folder PROJECT_DIR (its game.json and the files it names)\n"
    "into the game file OUTPUT, which roomrun plays.\n"
    "\n"
    "  -o, --output OUTPUT  the file to write (replaced only when packing succeeds)\n"
    "  --exe                write a runnable copy: the runner program with the game\n"
    "                       appended, marked executable\n"
    "  --runner PATH        the runner program for --exe (default: roomrun beside\n"
    "                       roompack)\n"
    "  -h, --help           show this text\n"
    "  --version            show the version\n"
    "\n"
    "Exit status: 0 packed; 1 a broken project (each problem named) or a file\n"
    "that cannot be read or written; 2 a wrong command line.\n";

int UsageError(const std::string& message) {
  std::cerr << "roompack: " << message << "\nTry 'roompack --help'.\n";
  return 2;
}

fs::path DefaultRunner() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "roomrun";
  return self.parent_path() / "roomrun";
}

}  // namespace

int main(int argc, char** argv) {
  std::string project_dir, output, runner;
  bool exe = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--version") {
      std::cout << "roompack " << ProgramVersion() << "\n";
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (i + 1 >= argc) return UsageError(a + " needs a file name");
      output = argv[++i];
    } else if (a == "--exe") {
      exe = true;
    } else if (a == "--runner") {
      if (i + 1 >= argc) return UsageError("--runner needs a path");
      runner = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else if (project_dir.empty()) {
      project_dir = a;
    } else {
      return UsageError("more than one project folder given");
    }
  }
  if (project_dir.empty()) return UsageError("no project folder given");
  if (output.empty()) return UsageError("no output file given (-o OUTPUT)");
  if (!runner.empty() && !exe) return UsageError("--runner is only used with --exe");

  try {
    Project project = LoadProject(project_dir);
    std::vector<uint8_t> game = PackGame(project);
    CheckProjectCode(project, game);
    if (exe) {
      fs::path runner_path = runner.empty() ? DefaultRunner() : fs::path(runner);
      game = MakeRunnableFile(runner_path, game);
    }
    for (const std::string& w : project.warnings) std::cerr << "roompack: warning: " << w << "\n";
    if (!project.errors.empty()) {
      for (const std::string& e : project.errors) std::cerr << e << "\n";
      std::cerr << "roompack: " << project.errors.size() << (project.errors.size() == 1 ? " error" : " errors")
                << "; nothing was written\n";
      return 1;
    }
    WriteOutputFile(output, game, exe, project_dir);
  } catch (const std::exception& e) {
    // ProjectError names the file and field; other errors are I/O failures.
    std::cerr << "roompack: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
