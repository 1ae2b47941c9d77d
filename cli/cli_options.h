#pragma once
// Option parsing of one command: "--name VALUE", "--name=VALUE", flags and positional words.
// Every mistake throws UsageError, which pelmora-cli turns into exit status 2.
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelmora::cli {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ArgParser {
  public:
    explicit ArgParser(std::vector<std::string> args) : args_(std::move(args)) {}

    ArgParser& Flag(const std::string& name);   // "--simulate"
    ArgParser& Value(const std::string& name);  // "--port" takes one value
    ArgParser& Positionals(std::size_t min, std::size_t max);

    // Throws UsageError for an unknown option, a missing value, a repeated option or a wrong
    // number of positional words. "--" ends the options.
    void Parse();

    bool Has(const std::string& name) const;
    std::optional<std::string> Get(const std::string& name) const;
    std::string GetOr(const std::string& name, const std::string& fallback) const;
    // Whole decimal numbers within [min, max]; UsageError otherwise.
    std::optional<long long> GetInt(const std::string& name, long long min, long long max) const;
    long long GetIntOr(const std::string& name, long long fallback, long long min,
                       long long max) const;
    const std::vector<std::string>& positionals() const { return positionals_; }

  private:
    std::vector<std::string> args_;
    std::set<std::string> flags_;
    std::set<std::string> valueOptions_;
    std::size_t minPositionals_ = 0;
    std::size_t maxPositionals_ = 0;
    std::map<std::string, std::string> values_;
    std::set<std::string> seenFlags_;
    std::vector<std::string> positionals_;
};

// Parses a whole decimal number in [min, max]; false when malformed or out of range.
bool ParseInteger(const std::string& text, long long min, long long max, long long& out);

}  // namespace pelmora::cli
