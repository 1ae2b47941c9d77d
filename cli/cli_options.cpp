#include "cli/cli_options.h"

#include <cerrno>
#include <cstdlib>

namespace pelmora::cli {

ArgParser& ArgParser::Flag(const std::string& name) {
    flags_.insert(name);
    return *this;
}

ArgParser& ArgParser::Value(const std::string& name) {
    valueOptions_.insert(name);
    return *this;
}

ArgParser& ArgParser::Positionals(std::size_t min, std::size_t max) {
    minPositionals_ = min;
    maxPositionals_ = max;
    return *this;
}

void ArgParser::Parse() {
    values_.clear();
    seenFlags_.clear();
    positionals_.clear();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args_.size(); ++i) {
        const std::string& arg = args_[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positionals_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        if (flags_.count(name) != 0) {
            if (inlineValue) {
                throw UsageError(name + " takes no value");
            }
            if (!seenFlags_.insert(name).second) {
                throw UsageError(name + " given twice");
            }
            continue;
        }
        if (valueOptions_.count(name) == 0) {
            throw UsageError("unknown option " + name);
        }
        if (values_.count(name) != 0) {
            throw UsageError(name + " given twice");
        }
        if (inlineValue) {
            values_[name] = *inlineValue;
        } else if (i + 1 < args_.size()) {
            values_[name] = args_[++i];
        } else {
            throw UsageError(name + " needs a value");
        }
    }
    if (positionals_.size() < minPositionals_) {
        throw UsageError("missing argument");
    }
    if (positionals_.size() > maxPositionals_) {
        throw UsageError("unexpected argument " + positionals_[maxPositionals_]);
    }
}

bool ArgParser::Has(const std::string& name) const {
    return seenFlags_.count(name) != 0 || values_.count(name) != 0;
}

std::optional<std::string> ArgParser::Get(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string ArgParser::GetOr(const std::string& name, const std::string& fallback) const {
    return Get(name).value_or(fallback);
}

std::optional<long long> ArgParser::GetInt(const std::string& name, long long min,
                                           long long max) const {
    const std::optional<std::string> text = Get(name);
    if (!text) {
        return std::nullopt;
    }
    long long value = 0;
    if (!ParseInteger(*text, min, max, value)) {
        throw UsageError(name + " needs a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not '" + *text + "'");
    }
    return value;
}

long long ArgParser::GetIntOr(const std::string& name, long long fallback, long long min,
                              long long max) const {
    return GetInt(name, min, max).value_or(fallback);
}

bool ParseInteger(const std::string& text, long long min, long long max, long long& out) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    for (std::size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9') {
            return false;
        }
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || end == nullptr || *end != '\0' || value < min || value > max) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace pelmora::cli
