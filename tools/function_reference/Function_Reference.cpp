// Writes the users' reference of built-in functions (docs/FUNCTIONS.md): the
// functions registered in the runner, grouped by library, with the argument
// names and one-line notes of docs/function-notes.txt, and the functions of
// the notes that are not built yet.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "script/Code_Function.h"

namespace {

struct RNote {
  std::string signature;  // name(arguments)
  std::string text;
};

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

// Notes file: "name(arguments) | what it does" per line; # starts a comment.
bool ReadNotes(const std::string& path, std::map<std::string, RNote>& notes, std::vector<std::string>& order,
               std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    const size_t bar = line.find(" | ");
    const size_t paren = line.find('(');
    if (bar == std::string::npos || paren == std::string::npos || paren > bar) {
      error = path + ":" + std::to_string(number) + ": expected \"name(arguments) | what it does\"";
      return false;
    }
    const std::string name = Trim(line.substr(0, paren));
    if (notes.count(name)) {
      error = path + ":" + std::to_string(number) + ": " + name + " is noted twice";
      return false;
    }
    notes[name] = RNote{Trim(line.substr(0, bar)), Trim(line.substr(bar + 3))};
    order.push_back(name);
  }
  return true;
}

std::string Cell(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '|') out += "\\|";
    else out += c;
  }
  return out;
}

std::string Reference(const std::map<std::string, RNote>& notes, const std::vector<std::string>& order) {
  RegisterBuiltins();
  std::vector<std::string> libraries;
  std::map<std::string, std::vector<int>> by_library;
  std::set<std::string> built;
  for (int id = 0; id < FunctionCount(); ++id) {
    const RFunction& f = FunctionGet(id);
    if (!built.insert(std::string(f.f_name)).second) continue;
    const std::string lib = *f.f_library ? f.f_library : "Language";
    if (!by_library.count(lib)) libraries.push_back(lib);
    by_library[lib].push_back(id);
  }
  std::vector<std::string> missing;
  for (const std::string& name : order)
    if (!built.count(name)) missing.push_back(name);

  std::ostringstream md;
  md << "# Built-in functions\n\n"
     << "Every function a game's code can call, grouped by the library that provides it, with its\n"
     << "arguments and what it does. Generated from the runner's own registry and\n"
     << "`docs/function-notes.txt` by `cmake --build build --target function-reference`; do not\n"
     << "edit by hand. `roomrun --list-functions` prints the same registry (name, argument count,\n"
     << "library). A game that calls a function listed under \"Not built yet\" stops with the\n"
     << "language's unknown-function error.\n\n"
     << built.size() << " functions are built, in " << libraries.size() << " libraries; " << missing.size()
     << " are not built yet.\n";
  for (const std::string& lib : libraries) {
    md << "\n## " << lib << "\n\n| Function | What it does |\n|---|---|\n";
    for (int id : by_library[lib]) {
      const RFunction& f = FunctionGet(id);
      auto it = notes.find(std::string(f.f_name));
      if (it != notes.end()) {
        md << "| `" << Cell(it->second.signature) << "` | " << Cell(it->second.text) << " |\n";
      } else {
        const std::string args = f.f_argnumb < 0   ? "any number of arguments"
                                 : f.f_argnumb == 1 ? "1 argument"
                                                    : std::to_string(f.f_argnumb) + " arguments";
        md << "| `" << f.f_name << "` (" << args << ") | |\n";
      }
    }
  }
  if (!missing.empty()) {
    md << "\n## Not built yet\n\n| Function | What it does |\n|---|---|\n";
    for (const std::string& name : missing) {
      const RNote& n = notes.at(name);
      md << "| `" << Cell(n.signature) << "` | " << Cell(n.text) << " |\n";
    }
  }
  return md.str();
}

}  // namespace

int main(int argc, char** argv) {
  // function_reference NOTES OUTPUT [--check]
  if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "--check")) {
    std::cerr << "usage: function_reference NOTES OUTPUT [--check]\n";
    return 2;
  }
  std::map<std::string, RNote> notes;
  std::vector<std::string> order;
  std::string error;
  if (!ReadNotes(argv[1], notes, order, error)) {
    std::cerr << "function_reference: " << error << "\n";
    return 1;
  }
  const std::string text = Reference(notes, order);
  if (argc == 4) {
    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream have;
    have << in.rdbuf();
    if (have.str() == text) return 0;
    std::cerr << "function_reference: " << argv[2]
              << " is out of date; run: cmake --build build --target function-reference\n";
    return 1;
  }
  const std::string temp = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary);
    out << text;
    if (!out.flush()) {
      std::cerr << "function_reference: " << temp << ": cannot be written\n";
      return 1;
    }
  }
  if (std::rename(temp.c_str(), argv[2]) != 0) {
    std::cerr << "function_reference: " << argv[2] << ": cannot be written\n";
    return 1;
  }
  return 0;
}
