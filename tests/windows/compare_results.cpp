// Compares two files of xlhost --json lines: the texts must be equal and the
// numbers equal to a relative 1e-12 (the C runtimes' exp and pow may differ in
// the last bit).
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Token {
  bool number;
  double value;
  std::string text;
};

std::vector<Token> Tokens(const std::string& line) {
  std::vector<Token> out;
  std::size_t i = 0;
  bool inString = false;
  std::string text;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '"') inString = !inString;
    if (!inString && (c == '-' || (c >= '0' && c <= '9'))) {
      char* end = nullptr;
      const double v = std::strtod(line.c_str() + i, &end);
      if (end != line.c_str() + i) {
        out.push_back({false, 0, text});
        text.clear();
        out.push_back({true, v, ""});
        i = static_cast<std::size_t>(end - line.c_str());
        continue;
      }
    }
    if (c == '\\' && inString && i + 1 < line.size()) text += line[i++];
    text += line[i++];
  }
  out.push_back({false, 0, text});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: compare_results EXPECTED ACTUAL\n";
    return 2;
  }
  std::ifstream a(argv[1]), b(argv[2]);
  std::string la, lb;
  int line = 0, differences = 0;
  while (true) {
    const bool ga = static_cast<bool>(std::getline(a, la)), gb = static_cast<bool>(std::getline(b, lb));
    if (!ga && !gb) break;
    ++line;
    if (ga != gb) {
      std::cerr << "line " << line << ": one file ends early\n";
      return 1;
    }
    if (!lb.empty() && lb.back() == '\r') lb.pop_back();
    const auto ta = Tokens(la), tb = Tokens(lb);
    bool same = ta.size() == tb.size();
    for (std::size_t k = 0; same && k < ta.size(); ++k) {
      if (ta[k].number != tb[k].number) same = false;
      else if (ta[k].number)
        same = ta[k].value == tb[k].value ||
               std::fabs(ta[k].value - tb[k].value) <= 1e-12 * std::fmax(std::fabs(ta[k].value), std::fabs(tb[k].value));
      else
        same = ta[k].text == tb[k].text;
    }
    if (!same) {
      ++differences;
      std::cerr << "line " << line << " differs:\n  linux:   " << la << "\n  windows: " << lb << "\n";
    }
  }
  std::cout << line << " lines compared, " << differences << " differ\n";
  return differences == 0 && line > 0 ? 0 : 1;
}
