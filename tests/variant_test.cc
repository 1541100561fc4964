#include "kirvs/variant.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kirvs/submitted_form.h"

namespace kirvs {
namespace {

std::shared_ptr<const SubmittedForm> MakeForm(
    std::vector<SubmittedForm::Field> fields) {
  return std::make_shared<const SubmittedForm>(std::move(fields));
}

// ---------------------------------------------------------------------------
// Variant

TEST(VariantText, GeneralTextFormOfEveryType) {
  struct Case {
    const char* what;
    Variant value;
    const char* expected;
  };
  const Case cases[] = {
      {"null", Variant::Null(), ""},
      {"integer", Variant::Integer(-42), "-42"},
      {"double", Variant::Double(2.5), "2.5"},
      {"date and time", Variant::Date(45292.75), "2024-01-01 18:00:00"},
      {"true", Variant::Boolean(true), "True"},
      {"form", Variant::Form(MakeForm({{"a", "b"}})), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, c.value.ToText()) << c.what;
  }
}

TEST(VariantEquality, SameTypeAndSameValueOnly) {
  auto form = MakeForm({{"a", "1"}});
  auto same_fields = MakeForm({{"a", "1"}});
  struct Case {
    const char* what;
    Variant a, b;
    bool equal;
  };
  const Case cases[] = {
      {"empty, null", Variant(), Variant::Null(), false},
      {"empty, empty text", Variant(), Variant(""), false},
      {"text case counts", Variant("abc"), Variant("ABC"), false},
      {"text, number text", Variant("1"), Variant(1), false},
      {"integer, integer", Variant(1), Variant::Integer(1), true},
      {"double, date", Variant::Double(1), Variant::Date(1), false},
      {"true, -1", Variant::Boolean(true), Variant(-1), false},
      {"same form", Variant::Form(form), Variant::Form(form), true},
      {"other form, same fields", Variant::Form(form),
       Variant::Form(same_fields), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.equal, c.a == c.b) << c.what;
    EXPECT_EQ(!c.equal, c.b != c.a) << c.what;
  }
}

// ---------------------------------------------------------------------------
// SubmittedForm

const SubmittedForm& PostedForm() {
  static const SubmittedForm form({
      {"Name", "Ann"},
      {"colour", "red"},
      {"COLOUR", "blue"},
      {"Empty", ""},
      {"x", "1"},
      {"Colour", "green"},
      {"dup", ""},
      {"DUP", ""},
      {"größe", "L"},
  });
  return form;
}

TEST(SubmittedFormGet, LookupIgnoresCaseAndJoinsRepeats) {
  struct Case {
    const char* name;
    const char* value;
    bool has;
  };
  const Case cases[] = {
      {"NAME", "Ann", true}, {"colour", "red, blue, green", true},
      {"Empty", "", true},   {"dup", ", ", true},
      {"GRößE", "L", true},  {"grÖße", "", false},  // only ASCII letters fold
      {"Nam", "", false},    {"Name ", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.value, PostedForm().Get(c.name)) << "\"" << c.name << "\"";
    EXPECT_EQ(c.has, PostedForm().Has(c.name)) << "\"" << c.name << "\"";
  }
}

}  // namespace
}  // namespace kirvs
