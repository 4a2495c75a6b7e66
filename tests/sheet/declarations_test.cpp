// The declarations against their routines: every message a routine gives is
// one its declaration lists, a declared result has the shape the routine
// returns, and each drug model's declaration carries what ModelCheck knows of
// it, consistent with the model itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "drugmodels/check.h"
#include "drugmodels/messages.h"
#include "pkcore/messages.h"
#include "sheet/Contract.h"
#include "sheet/CorvelModels.h"
#include "sheet/Functions.h"

namespace {

using sheet::Kind;

const std::vector<const sheet::Table*>& Tables() {
  static const std::vector<const sheet::Table*> tables = {&sheet::AmbrelFunctions(), &sheet::CorvelFunctions()};
  return tables;
}

// Whether text is the message's text with its {placeholders} filled in.
bool Matches(const char* pattern, const char* text) {
  if (!*pattern) return !*text;
  if (*pattern == '{') {
    const char* close = std::strchr(pattern, '}');
    for (const char* t = text;; ++t) {
      if (t != text && Matches(close + 1, t)) return true;
      if (!*t) return false;
    }
  }
  return *pattern == *text && Matches(pattern + 1, text + 1);
}

TEST(Declarations, MatchingFillsPlaceholdersWithSomething) {
  EXPECT_TRUE(Matches("{argument} must be a positive number!", "C50A must be a positive number!"));
  EXPECT_FALSE(Matches("{argument} must be a positive number!", " must be a positive number!")) << "filled with nothing";
  EXPECT_FALSE(Matches("{argument} must be a positive number!", "C50A must be a positive number"));
  EXPECT_TRUE(Matches("Columns of different length!", "Columns of different length!"));
  EXPECT_FALSE(Matches("Columns of different length!", "Columns of different length!!"));
}

// Every function is described whole: names, texts for the reader, a result.
TEST(Declarations, EveryFunctionIsDescribedWhole) {
  std::set<std::string> names;
  for (const sheet::Table* t : Tables())
    for (const sheet::Function& f : t->functions) {
      EXPECT_EQ(std::string(f.procedure), std::string("xl") + f.name);
      EXPECT_TRUE(names.insert(f.name).second) << f.name << " twice";
      ASSERT_NE(f.run, nullptr) << f.name;
      EXPECT_NE(f.returns.meaning, nullptr) << f.name;
      EXPECT_GT(std::strlen(f.returns.meaning), 10u) << f.name;
      EXPECT_EQ(f.returns.shape == sheet::Shape::FixedColumn, !f.returns.rows.empty()) << f.name;
      for (const sheet::Parameter& p : f.parameters) {
        EXPECT_NE(p.meaning, nullptr) << f.name << " " << p.name;
        EXPECT_FALSE(sheet::EmptyMeaning(p).empty()) << f.name << " " << p.name;
        if (p.kind == Kind::Flag || p.kind == Kind::OptionalFlag || p.kind == Kind::Text) {
          EXPECT_EQ(p.unit, nullptr) << f.name << " " << p.name << ": a flag or a name has no unit";
        }
      }
      std::set<std::string> messages;
      for (const pkcore::Message& m : f.messages) {
        EXPECT_TRUE(messages.insert(m.text).second) << f.name << " lists " << m.text << " twice";
        EXPECT_GT(std::strlen(m.remedy), 5u) << m.text;
        EXPECT_EQ(std::string(m.text).back(), '!') << m.text;
      }
    }
  EXPECT_GE(names.size(), 39u + 14u);
}

// Arguments for a routine from pools of ordinary and hostile values.
struct Pools {
  std::vector<double> numbers = {0,    1,     -1,   0.5,  2,    40,     70,   170,  93,     100,   150,   1e7,
                                 1e-9, 1e-300, 1e300, 0.456, 3.08, 0.01, 117.2, 152.4, 88,   200,
                                 std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity()};
  std::vector<std::vector<double>> columns = {{},        {0},         {5},          {0, 1},     {0, 1, 2},
                                              {-1, 1},   {1, -1},     {0, 0.5, 0.5}, {2, 1},     {0, 1e8},
                                              {0, 1, 1}, {3, 3, 3},   {0, 93},      {50, 47},   {1, 0},
                                              {0, std::numeric_limits<double>::quiet_NaN()},
                                              {4.27, 18.9, 238, 1.89, 1.29, 0.836},
                                              {0.25, 0.0064, 0.0005, 0.98, 0.04, 0.0023},
                                              {0.25, 0.0064, 0.0005, 0.98, 0.04, 0.0023, 0.456}};
  std::vector<std::string> texts = {"RemiEleveld", "DexDyck", "PropSchnider", "PropMarsh", "", "Foo",
                                    std::string(60, 'x'), "remieleveld", "Prop\nMarsh"};
};

sheet::Argument Draw(Kind kind, const Pools& pools, std::mt19937& random) {
  auto pick = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  switch (kind) {
    case Kind::Number: return pools.numbers[pick(pools.numbers.size())];
    case Kind::Column: return pools.columns[pick(pools.columns.size())];
    case Kind::Flag: return pick(2) == 1;
    case Kind::OptionalFlag:
      if (pick(3) == 0) return std::monostate{};
      return pick(2) == 1;
    case Kind::Text: return pools.texts[pick(pools.texts.size())];
  }
  return std::monostate{};
}

// The messages a function may give: its own, and its arguments' (which a
// routine never throws itself, but a routine may not speak for them either).
bool Declared(const sheet::Function& f, const std::string& text) {
  for (const pkcore::Message& m : f.messages)
    if (Matches(m.text, text.c_str())) return true;
  return false;
}

// Thousands of calls of every routine with ordinary and hostile arguments:
// each gives a result or one of its declared messages, never anything else.
TEST(Declarations, EveryMessageARoutineGivesIsDeclared) {
  const Pools pools;
  std::mt19937 random(20261209);
  std::map<std::string, std::set<std::string>> seen;
  for (const sheet::Table* t : Tables())
    for (const sheet::Function& f : t->functions) {
      const int calls = f.parameters.empty() ? 1 : 400;
      for (int call = 0; call < calls; ++call) {
        std::vector<sheet::Argument> values;
        for (const sheet::Parameter& p : f.parameters) values.push_back(Draw(p.kind, pools, random));
        sheet::Arguments args(std::move(values));
        try {
          const sheet::Result r = f.run(args);
          if (f.returns.shape == sheet::Shape::FixedColumn) {
            EXPECT_EQ(std::get<std::vector<double>>(r).size(), f.returns.rows.size()) << f.name;
          }
          if (f.returns.shape == sheet::Shape::Number) {
            EXPECT_TRUE(std::holds_alternative<double>(r)) << f.name;
          }
          if (f.returns.shape == sheet::Shape::Text) {
            ASSERT_TRUE(std::holds_alternative<std::string>(r)) << f.name;
            const std::string& text = std::get<std::string>(r);
            if (text != "OK") {
              EXPECT_TRUE(Declared(f, text)) << f.name << " answers an undeclared reason: " << text;
              seen[f.name].insert(text);
            }
          }
        } catch (const pkcore::InputError& e) {
          EXPECT_TRUE(Declared(f, e.what())) << f.name << " gives an undeclared message: " << e.what();
          seen[f.name].insert(e.what());
        } catch (const std::exception& e) {
          ADD_FAILURE() << f.name << " fails with something that is no message: " << e.what();
        }
      }
    }
  // The pools reach the usual messages; a declaration that lists messages
  // its routine never gives is not caught here, but a pool that reaches none
  // would hide everything.
  EXPECT_GE(seen["PredCp"].size(), 2u);
  EXPECT_GE(seen["TciCe"].size(), 3u);
  EXPECT_GE(seen["CsDtCe"].size(), 4u);
  EXPECT_GE(seen["ModelCheck"].size(), 6u);
  EXPECT_GE(seen["PredGreco"].size(), 3u);
}

// Every message of the routines' catalogues is declared by some function,
// so the help pages leave none out.
TEST(Declarations, EveryCataloguedMessageIsDeclaredSomewhere) {
  namespace pm = pkcore::messages;
  namespace dm = drugmodels::messages;
  const pkcore::Message catalogue[] = {
      pm::kLengths, pm::kMissingPk, pm::kNegativePk, pm::kCheckPk, pm::kCheckParameters, pm::kNeedSix,
      pm::kMaxRate, pm::kNoRate, pm::kNoPeak, pm::kPeakTime, pm::kNoKe0, pm::kTimesAscending, pm::kTimesNegative,
      pm::kTimesRange, pm::kCheckPkOrDecrement, pm::kDecrementBelow100, pm::kDecrementLevel, pm::kAge, pm::kPositive,
      pm::kConcentration, pm::kBisRange, pm::kAlphaFinite, pm::kAlphaTooNegative, pm::kFinite, pm::kAboveZero,
      pm::kOutOfRange, pm::kDevineHeight, dm::kLimit, dm::kNoFiniteEntry, dm::kNotPositiveEntry, dm::kNeedsName,
      dm::kNoSuchModel, dm::kNoModelOfThisName, dm::kNeedsCovariate, dm::kNeedsSex, dm::kPastJamesPeak,
      dm::kVanished, dm::kVanishedLighter, dm::kOutsideStudy, dm::kOutsideStudyNotFinite};
  for (const pkcore::Message& m : catalogue) {
    bool declared = false;
    for (const sheet::Table* t : Tables())
      for (const sheet::Function& f : t->functions)
        for (const pkcore::Message& d : f.messages) declared = declared || std::strcmp(d.text, m.text) == 0;
    EXPECT_TRUE(declared) << m.text;
  }
}

// Each drug model's declaration knows the model as ModelCheck runs it: its
// typical patient gives, through the worksheet routine with the same
// covariates, the same parameter set, of the declared length.
TEST(Declarations, EveryDrugModelCarriesItsFacts) {
  std::size_t models = 0;
  for (const sheet::Function& f : sheet::CorvelFunctions().functions) {
    if (f.returns.shape != sheet::Shape::FixedColumn) continue;
    ++models;
    ASSERT_TRUE(f.model) << f.name << " has no facts for ModelCheck";
    const drugmodels::CheckedModel& m = *f.model;
    const drugmodels::ParameterSet set = m.run(m.typical);
    EXPECT_EQ(set.size(), f.returns.rows.size()) << f.name;
    // The same patient through the worksheet's own arguments, where they are
    // the covariates ModelCheck gives the model.
    std::vector<sheet::Argument> values;
    bool plain = true;
    for (const sheet::Parameter& p : f.parameters) {
      const std::string name = p.name;
      if (name == "Age" || name == "age") values.push_back(m.typical.age);
      else if (name == "Weight" || name == "weight" || name == "mass") values.push_back(m.typical.weight);
      else if (name == "Height" || name == "height") values.push_back(m.typical.height);
      else if (name == "MALE" || name == "male") values.push_back(m.typical.male);
      else if (name == "patient") values.push_back(true);
      else plain = false;  // a covariate ModelCheck derives (LBM, pma, venous, opiates)
    }
    if (!plain) continue;
    sheet::Arguments args(std::move(values));
    EXPECT_EQ(std::get<std::vector<double>>(f.run(args)), set) << f.name;
  }
  EXPECT_EQ(models, sheet::CorvelModels().size()) << "ModelCheck knows every model, and nothing else";
  EXPECT_EQ(models, 24u);
}

}  // namespace
