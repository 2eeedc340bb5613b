#pragma once

#include <string>
#include <string_view>

// The rule of a catalog's "Plural-Forms:" header ("nplurals=2; plural=(n !=
// 1);"): which of a text's forms goes with a number. The C expression is read
// by our own bounded parser; one it cannot read counts as the rule "n != 1".
class PluralRule
{
public:
    // The rule of the header line's value; false, with "n != 1" kept, when
    // the expression cannot be read.
    bool parse(std::string_view header);
    // The index of the form for n.
    unsigned long formFor(unsigned long n) const;

private:
    std::string m_expression = "n != 1";
};
