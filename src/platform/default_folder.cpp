#include "platform/default_folder.h"

#include <array>
#include <filesystem>

namespace officecarve {
namespace {

// Top-level folders of the system's own files; a folder below any of them is
// the system's too. /lib matches /lib32, /lib64 and /libx32 as well.
constexpr std::array<std::string_view, 13> kSystemRoots = {
    "usr", "opt", "bin", "sbin", "etc", "var", "snap", "boot", "dev", "proc", "sys", "run", "srv"};
constexpr std::array<std::string_view, 3> kProgramFolderNames = {"bin", "sbin", "libexec"};

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string JoinFolder(std::string_view parent, std::string_view name) {
  std::string joined(parent);
  while (joined.size() > 1 && joined.back() == '/') joined.pop_back();
  if (joined != "/") joined += '/';
  joined += name;
  return joined;
}

}  // namespace

bool IsSystemFolder(std::string_view folder) {
  const std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
  if (!path.is_absolute()) return false;
  std::string first;
  std::string last;
  size_t depth = 0;
  for (const auto& part : path.relative_path()) {
    const std::string name = part.string();
    if (name.empty()) continue;
    if (depth++ == 0) first = name;
    last = name;
  }
  if (depth == 0) return true;  // the root folder itself
  for (std::string_view root : kSystemRoots) {
    if (first == root) return true;
  }
  if (first.rfind("lib", 0) == 0) return true;
  for (std::string_view name : kProgramFolderNames) {
    if (last == name) return true;
  }
  return false;
}

std::optional<std::string> DocumentsFolderFromUserDirs(std::string_view file_text,
                                                       std::string_view home) {
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
  std::optional<std::string> documents;
  size_t line_start = 0;
  while (line_start < file_text.size()) {
    size_t line_end = file_text.find('\n', line_start);
    if (line_end == std::string_view::npos) line_end = file_text.size();
    std::string_view line = file_text.substr(line_start, line_end - line_start);
    line_start = line_end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.rfind(kKey, 0) != 0) continue;
    line.remove_prefix(kKey.size());
    // The value runs to the closing quote; a backslash quotes the next character.
    std::string value;
    bool closed = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        value += line[++i];
      } else if (line[i] == '"') {
        closed = true;
        break;
      } else {
        value += line[i];
      }
    }
    if (!closed) continue;
    // The last setting wins, as when the file is read by a shell.
    if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) {
      if (home.empty()) continue;
      std::string_view below = std::string_view(value).substr(5);
      while (!below.empty() && below.front() == '/') below.remove_prefix(1);
      documents = below.empty() ? std::string(home) : JoinFolder(home, below);
    } else if (!value.empty() && value.front() == '/') {
      documents = value;
    } else {
      documents.reset();
    }
  }
  return documents;
}

std::string ChooseDefaultOutputFolder(const DefaultFolderInputs& inputs) {
  if (!inputs.program_folder.empty() && inputs.program_folder_writable &&
      !IsSystemFolder(inputs.program_folder)) {
    return WithTrailingSlash(inputs.program_folder);
  }
  if (inputs.home.empty()) return WithTrailingSlash(inputs.program_folder);
  const std::string& base =
      inputs.documents && inputs.documents_exists ? *inputs.documents : inputs.home;
  return WithTrailingSlash(JoinFolder(base, inputs.folder_name));
}

}  // namespace officecarve
