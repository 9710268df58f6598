#include "support/solutions/solution_script.h"

#include "model/error_record.h"

namespace orvane {

std::vector<std::wstring> Tokenize(const std::wstring& text, const std::wstring& delimiters) {
  std::vector<std::wstring> pieces;
  size_t at = 0;
  while (at < text.size()) {
    const size_t begin = text.find_first_not_of(delimiters, at);
    if (begin == std::wstring::npos) break;
    const size_t end = text.find_first_of(delimiters, begin);
    pieces.push_back(text.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin));
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  return pieces;
}

std::vector<SolutionCommand> ParseSolutionScript(const std::wstring& script) {
  std::vector<SolutionCommand> commands;
  for (const std::wstring& text : Tokenize(script, L";")) {
    std::vector<std::wstring> pieces = Tokenize(text, L"%");
    if (pieces.size() < 2) continue;
    commands.push_back({ParseDecimal(pieces[0]), std::move(pieces[1])});
  }
  return commands;
}

}  // namespace orvane
