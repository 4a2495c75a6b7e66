// The CSV sheet as Excel writes it ("CSV UTF-8" with its byte-order mark, or
// plain "CSV" in the Windows code page; CRLF line ends; RFC 4180 quoting)
// and its cells read as Excel reads them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/Workbook.h"
#include "run_xlhost.h"

using namespace host;
using xlw::sdk::xlerrDiv0;
using xlw::sdk::xlerrNA;

namespace {

Sheet Load(const std::string& content) {
  static int serial = 0;
  Sheet sheet;
  std::string error;
  const std::string path = xlhost_test::TempFile("sheet" + std::to_string(++serial) + ".csv", content);
  EXPECT_TRUE(sheet.Load(path, error)) << error;
  return sheet;
}

std::string Describe(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Number: return "number " + ShortestNumber(v.number);
    case Value::Kind::Text: return "text [" + v.Utf8() + "]";
    case Value::Kind::Bool: return v.boolean ? "bool TRUE" : "bool FALSE";
    case Value::Kind::Error: return std::string("error ") + ErrorText(v.error);
    case Value::Kind::Nil: return "empty";
    default: return "other";
  }
}

TEST(SheetCsv, RecordsAndFieldsAsExcelWritesThem) {
  const struct {
    std::string csv;
    int row, column;
    std::string cell, why;
  } cases[] = {
      {"\xEF\xBB\xBF" "1,2\n", 0, 0, "number 1", "the byte-order mark of CSV UTF-8 is not part of A1"},
      {"\xEF\xBB\xBF" "\xc2\xb5g,2\n", 0, 0, "text [\xc2\xb5g]", "UTF-8 text after the mark"},
      {"\"a\nb\",1\n2,3\n", 0, 0, "text [a\nb]", "a line break inside quotes stays in the cell"},
      {"\"a\nb\",1\n2,3\n", 0, 1, "number 1", "the record goes on after the quoted line break"},
      {"\"a\nb\",1\n2,3\n", 1, 0, "number 2", "and the next record is row 2"},
      {"\"a\r\nb\",1\r\n2,3\r\n", 1, 1, "number 3", "CRLF records with a CRLF inside quotes"},
      {"\"a\r\nb\",1\r\n2,3\r\n", 0, 0, "text [a\r\nb]", "the CRLF inside quotes is kept"},
      {"1,2\r\n3,4\r\n", 0, 1, "number 2", "CRLF is no part of the last field"},
      {"1,2\r\n3,4\r\n", 1, 0, "number 3", "CRLF ends a record"},
      {"1,2\r\n3,4", 1, 1, "number 4", "the last record needs no line end"},
      {"\"say \"\"hi\"\"\",2\n", 0, 0, "text [say \"hi\"]", "doubled quotes inside quotes"},
      {"\"1,5\",2\n", 0, 0, "text [1,5]", "a comma inside quotes"},
      {"\"12\",2\n", 0, 0, "number 12", "a quoted number is a number"},
      {"1,,3\n", 0, 1, "empty", "an empty field"},
      {"1,\"\",3\n", 0, 1, "empty", "an empty quoted field"},
      {"1,,3\n", 0, 2, "number 3", "after an empty field"},
      {"1\n\n2\n", 1, 0, "empty", "an empty line is an empty row"},
      {"1\n\n2\n", 2, 0, "number 2", "rows after an empty line keep their place"},
      {"1\n", 1, 0, "empty", "below the last record"},
      {"1\n", 0, 5, "empty", "right of the last field"},
      {"abc  ,2\n", 0, 0, "text [abc  ]", "text keeps its blanks"},
      {"TRUE,false\n", 0, 1, "bool FALSE", "booleans in any case"},
      {"#N/A,#DIV/0!\n", 0, 1, "error #DIV/0!", "error values"},
      {"\xb5g,1\n", 0, 0, "text [\xc2\xb5g]", "plain CSV is the Windows code page (0xB5 is the micro sign)"},
      {"\x80,1\n", 0, 0, "text [\xe2\x82\xac]", "0x80 is the euro sign there"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(Load(c.csv).Cell(c.row, c.column)), c.cell) << c.why;
}

TEST(SheetCsv, NumbersAsExcelReadsThem) {
  const struct {
    const char* field;
    const char* cell;
  } cases[] = {
      {"12", "number 12"},         {" 12 ", "number 12"},        {"+5", "number 5"},
      {"-.5", "number -0.5"},      {"5.", "number 5"},           {"1.5E3", "number 1500"},
      {"2e-3", "number 0.002"},    {"50%", "number 0.5"},        {"-12.5%", "number -0.125"},
      {"0x10", "text [0x10]"},     {"0X1p3", "text [0X1p3]"},    {"inf", "text [inf]"},
      {"-Infinity", "text [-Infinity]"}, {"nan", "text [nan]"},  {"NAN(1)", "text [NAN(1)]"},
      {"1e400", "text [1e400]"},   {"-1e400", "text [-1e400]"},  {"1e", "text [1e]"},
      {"e5", "text [e5]"},         {".", "text [.]"},            {"-", "text [-]"},
      {"12abc", "text [12abc]"},   {"1 2", "text [1 2]"},        {"%", "text [%]"},
      {"5%%", "text [5%%]"},       {"1.7976931348623157e308", "number 1.7976931348623157e+308"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(Load(std::string(c.field) + "\n").Cell(0, 0)), c.cell) << c.field;
}

TEST(SheetCsv, MalformedFilesAreRefused) {
  const struct {
    std::string csv, says;
  } cases[] = {
      {"1,2\n\"open,3\n4,5\n", "line 2"},
  };
  for (const auto& c : cases) {
    Sheet sheet;
    std::string error;
    const std::string path = xlhost_test::TempFile("bad.csv", c.csv);
    EXPECT_FALSE(sheet.Load(path, error)) << c.csv;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
  Sheet sheet;
  std::string error;
  EXPECT_FALSE(sheet.Load(testing::TempDir(), error));
  EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
}

// A table of awkward texts written the way Excel writes CSV, read back whole.
TEST(SheetCsv, ExcelsOwnQuotingReadsBackCellForCell) {
  std::mt19937 random(4180);
  const std::string alphabet = "ab ,\"\r\n;x\xc3\xa9";
  std::vector<std::vector<std::string>> table(200, std::vector<std::string>(7));
  std::string csv = "\xEF\xBB\xBF";
  for (auto& row : table) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      std::string text = "t";  // never empty, never a number
      for (int n = static_cast<int>(random() % 8); n > 0; --n) {
        const std::size_t k = random() % (alphabet.size() - 1);
        text += k == alphabet.size() - 2 ? alphabet.substr(k, 2) : alphabet.substr(k, 1);
      }
      row[c] = text;
      const bool quote = text.find_first_of(",\"\r\n") != std::string::npos;
      std::string field;
      for (char ch : text) field += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      csv += (c ? "," : "") + (quote ? "\"" + field + "\"" : field);
    }
    csv += "\r\n";
  }
  const Sheet sheet = Load(csv);
  for (std::size_t r = 0; r < table.size(); ++r)
    for (std::size_t c = 0; c < table[r].size(); ++c)
      ASSERT_EQ(Describe(sheet.Cell(static_cast<int>(r), static_cast<int>(c))), "text [" + table[r][c] + "]")
          << "row " << r << " column " << c;
  EXPECT_EQ(Describe(sheet.Cell(static_cast<int>(table.size()), 0)), "empty");
}

// Only cells that hold something are kept, and only those a reference can
// reach: a file of commas keeps nothing, and cells read back the same wherever
// empty ones lie between them.
TEST(SheetCsv, KeepsOnlyCellsThatHoldSomething) {
  EXPECT_EQ(Load(std::string(100000, ',') + "\n" + std::string(5000, '\n') + ",,,\n").StoredCells(), 0u);
  // A value after 20000 empty fields lies beyond XFD: no reference reaches it.
  const Sheet wide = Load(std::string(16383, ',') + "1," + std::string(20000, ',') + "2\n");
  EXPECT_EQ(wide.StoredCells(), 1u);
  EXPECT_EQ(Describe(wide.Cell(0, 16383)), "number 1") << "XFD1";
  // Sparse cells among empty ones, in rows with and without cells.
  std::mt19937 random(5);
  std::vector<std::vector<std::string>> table(300, std::vector<std::string>(40));
  std::string csv;
  std::size_t filled = 0;
  for (auto& row : table) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      const unsigned k = random() % 10;
      row[c] = k == 0 ? "x" + std::to_string(c) : k == 1 ? std::to_string(random() % 1000) : k == 2 ? "TRUE" : "";
      filled += !row[c].empty();
      csv += (c ? "," : "") + row[c];
    }
    csv += "\n";
  }
  const Sheet sheet = Load(csv);
  EXPECT_EQ(sheet.StoredCells(), filled);
  EXPECT_EQ(sheet.Rows(), 300);
  for (std::size_t r = 0; r <= table.size(); ++r)
    for (std::size_t c = 0; c <= 40; ++c) {
      const std::string field = r < table.size() && c < 40 ? table[r][c] : "";
      ASSERT_EQ(Describe(sheet.Cell(static_cast<int>(r), static_cast<int>(c))), Describe(CsvCell(field)))
          << "row " << r << " column " << c;
    }
}

// xlhost with a sheet of 5 MB of commas, in 128 MB of address space (it took
// 1.3 GB when each empty cell was kept).
TEST(SheetCsv, AFileOfCommasFitsInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
#endif
  const std::string sheet = xlhost_test::TempFile("commas.csv", std::string(5000000, ',') + "\n7\n");
  const auto r = xlhost_test::Xlhost({"--sheet", sheet, "=BMI(A2,100)"}, "", std::size_t{128} << 20);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "7\n");
}

}  // namespace
