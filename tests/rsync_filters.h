// A job's selections as rsync filter rules, so that rsync can be asked what
// it would still change between a job's source folder and its destination
// ("rsync -a --dry-run --itemize-changes SRC/ DEST/" with these rules).
// Covers the selections a job over one folder tree uses: one folder
// include with "/*" (the transfer's root), folder excludes below it (with
// "/*": the folder and all below; without: the folder's own files), file
// name patterns to include and exclude, matched without regard to letter
// case as the engine's patterns are. Anything else is refused with a reason,
// never turned into a rule that would compare something else.
#pragma once

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolvex::command_test {

struct JobSelections {
  std::vector<std::string> dincl, dexcl, fincl, fexcl;
};

// The four selection sections of a job file, lines as written.
inline JobSelections ReadSelections(const std::filesystem::path& job) {
  JobSelections selections;
  const std::map<std::string, std::vector<std::string>*> sections = {
      {"[DInclSels]", &selections.dincl}, {"[DExclSels]", &selections.dexcl},
      {"[FInclSels]", &selections.fincl}, {"[FExclSels]", &selections.fexcl}};
  std::ifstream in(job);
  std::vector<std::string>* current = nullptr;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const auto section = sections.find(line);
      current = section == sections.end() ? nullptr : section->second;
    } else if (current != nullptr) {
      current->push_back(line);
    }
  }
  return selections;
}

// A name taken literally by rsync: its wildcard characters escaped.
inline std::string RsyncLiteral(const std::string& name) {
  std::string literal;
  for (char c : name) {
    if (c == '*' || c == '?' || c == '[' || c == '\\') literal += '\\';
    literal += c;
  }
  return literal;
}

// A file name pattern ("*.TXT") as rsync matches it: "*.*" is every name,
// letters match in either case.
inline std::optional<std::string> RsyncNamePattern(const std::string& pattern, std::string* why) {
  if (pattern == "*.*" || pattern == "*") return std::string("*");
  if (pattern.find('/') != std::string::npos || pattern.find('\\') != std::string::npos ||
      pattern.find('[') != std::string::npos || pattern.find(']') != std::string::npos ||
      pattern == "*.") {
    *why = "the pattern \"" + pattern + "\" has no rsync form here";
    return std::nullopt;
  }
  std::string rsync;
  for (char c : pattern) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u) && u < 128) {
      rsync += std::string("[") + static_cast<char>(std::tolower(u)) +
               static_cast<char>(std::toupper(u)) + "]";
    } else {
      rsync += c;
    }
  }
  return rsync;
}

// The rules, first match wins, each to be given as --filter=RULE; the
// source folder (the include without its "/*") in *root.
inline std::optional<std::vector<std::string>> RsyncFilters(const JobSelections& job, std::string* root,
                                                            std::string* why) {
  if (job.dincl.size() != 1 || job.dincl[0].size() < 3 ||
      job.dincl[0].compare(job.dincl[0].size() - 2, 2, "/*") != 0) {
    *why = "needs exactly one folder include, with \"/*\"";
    return std::nullopt;
  }
  *root = job.dincl[0].substr(0, job.dincl[0].size() - 2);
  std::vector<std::string> rules;
  for (const std::string& folder : job.dexcl) {
    const bool below = folder.size() > 2 && folder.compare(folder.size() - 2, 2, "/*") == 0;
    const std::string path = below ? folder.substr(0, folder.size() - 2) : folder;
    if (path.compare(0, root->size() + 1, *root + "/") != 0) {
      *why = "the folder exclude " + folder + " is not below the include";
      return std::nullopt;
    }
    const std::string relative = RsyncLiteral(path.substr(root->size()));
    if (below) {
      rules.push_back("- " + relative + "/");
    } else {
      rules.push_back("+ " + relative + "/*/");
      rules.push_back("- " + relative + "/*");
    }
  }
  bool every_name = job.fincl.empty();
  std::vector<std::string> includes;
  for (const std::string& pattern : job.fincl) {
    const auto rsync = RsyncNamePattern(pattern, why);
    if (!rsync) return std::nullopt;
    every_name = every_name || *rsync == "*";
    includes.push_back(*rsync);
  }
  // Name patterns select files: every folder is entered.
  if (!job.fexcl.empty() || !every_name) rules.push_back("+ */");
  for (const std::string& pattern : job.fexcl) {
    const auto rsync = RsyncNamePattern(pattern, why);
    if (!rsync) return std::nullopt;
    rules.push_back("- " + *rsync);
  }
  if (!every_name) {
    for (const std::string& include : includes) rules.push_back("+ " + include);
    rules.push_back("- *");
  }
  return rules;
}

}  // namespace tolvex::command_test
