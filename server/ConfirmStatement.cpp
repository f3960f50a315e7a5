#include "server/ConfirmStatement.h"

#include <QDate>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace davu::server {

namespace {

const char* const kForm = "endast UPDATE CALLLOG SET CONFIRMTSTAMP = #ÅÅÅÅ-MM-DD TT:MM:SS# WHERE LOPNR = ... "
                          "är tillåten.";

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

bool IsTime(std::string_view t) {
  // "yyyy-MM-dd HH:mm:ss", as TranslateDialect writes it.
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (t.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (kShape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(t[i])) : t[i] != kShape[i]) return false;
  auto num = [&](std::size_t at, std::size_t n) {
    int v = 0;
    std::from_chars(t.data() + at, t.data() + at + n, v);
    return v;
  };
  return QDate::isValid(num(0, 4), num(5, 2), num(8, 2)) && num(11, 2) < 24 && num(14, 2) < 60 &&
         num(17, 2) < 60;
}

// One pass over the text; every method moves past what it accepts.
class Reader {
 public:
  explicit Reader(std::string_view sql) : s_(sql) {}

  void blanks() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\r' || s_[p_] == '\n')) ++p_;
  }
  bool atEnd() {
    blanks();
    while (p_ < s_.size() && s_[p_] == ';') {
      ++p_;
      blanks();
    }
    return p_ == s_.size();
  }
  bool punct(char c) {
    blanks();
    if (p_ < s_.size() && s_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  std::string_view word() {
    blanks();
    std::size_t b = p_;
    while (p_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p_])) || s_[p_] == '_')) ++p_;
    if (b < p_ && std::isdigit(static_cast<unsigned char>(s_[b]))) {
      p_ = b;
      return {};
    }
    return s_.substr(b, p_ - b);
  }
  bool keyword(std::string_view k) {
    const std::size_t b = p_;
    if (SameWord(word(), k)) return true;
    p_ = b;
    return false;
  }
  // NAME or QUALIFIER.NAME.
  bool name(std::string_view qualifier, std::string_view n) {
    const std::size_t b = p_;
    std::string_view first = word();
    if (SameWord(first, qualifier) && punct('.')) first = word();
    if (SameWord(first, n)) return true;
    p_ = b;
    return false;
  }
  std::optional<std::int64_t> number() {
    blanks();
    std::size_t b = p_;
    if (p_ < s_.size() && (s_[p_] == '-' || s_[p_] == '+')) ++p_;
    std::size_t digits = p_;
    while (p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
    std::int64_t v = 0;
    const char* first = s_.data() + digits;
    if (p_ == digits || std::from_chars(first, s_.data() + p_, v).ptr != s_.data() + p_ ||
        (p_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p_])) || s_[p_] == '.'))) {
      p_ = b;
      return std::nullopt;
    }
    return s_[b] == '-' ? -v : v;
  }
  std::optional<std::string_view> text() {
    blanks();
    if (p_ >= s_.size() || s_[p_] != '\'') return std::nullopt;
    std::size_t end = s_.find('\'', p_ + 1);
    if (end == std::string_view::npos || (end + 1 < s_.size() && s_[end + 1] == '\'')) return std::nullopt;
    std::string_view t = s_.substr(p_ + 1, end - p_ - 1);
    p_ = end + 1;
    return t;
  }

 private:
  std::string_view s_;
  std::size_t p_ = 0;
};

class ConditionReader {
 public:
  ConditionReader(Reader& r, std::vector<std::int64_t>& calls) : r_(r), calls_(calls) {}

  // cond := term { OR term }; depth bounds the parentheses.
  bool condition(int depth) {
    if (depth > 32 || !term(depth)) return false;
    while (r_.keyword("OR"))
      if (!term(depth)) return false;
    return true;
  }

 private:
  bool key() { return r_.name("CALLLOG", "LOPNR"); }
  bool add(std::int64_t n) {
    calls_.push_back(n);
    return calls_.size() <= kMaxConfirmedCalls;
  }
  bool term(int depth) {
    if (r_.punct('(')) return condition(depth + 1) && r_.punct(')');
    if (key()) {
      if (r_.punct('=')) {
        auto n = r_.number();
        return n && add(*n);
      }
      if (!r_.keyword("IN") || !r_.punct('(')) return false;
      do {
        auto n = r_.number();
        if (!n || !add(*n)) return false;
      } while (r_.punct(','));
      return r_.punct(')');
    }
    auto n = r_.number();
    return n && r_.punct('=') && key() && add(*n);
  }

  Reader& r_;
  std::vector<std::int64_t>& calls_;
};

}  // namespace

std::optional<Confirmation> ReadConfirmation(std::string_view sql, std::string& why) {
  Reader r(sql);
  Confirmation c;
  if (!r.keyword("UPDATE") || !r.name("main", "CALLLOG") || !r.keyword("SET") ||
      !r.keyword("CONFIRMTSTAMP") || !r.punct('=')) {
    why = kForm;
    return std::nullopt;
  }
  auto stamp = r.text();
  if (!stamp || !IsTime(*stamp)) {
    why = "CONFIRMTSTAMP kan bara sättas till en tidpunkt, #ÅÅÅÅ-MM-DD TT:MM:SS#.";
    return std::nullopt;
  }
  c.stamp = std::string(*stamp);
  if (!r.keyword("WHERE")) {
    why = r.atEnd() ? "en bekräftelse måste ange kallelsernas nummer (WHERE LOPNR = ...)." : kForm;
    return std::nullopt;
  }
  ConditionReader cond(r, c.calls);
  if (!cond.condition(0) || !r.atEnd()) {
    why = c.calls.size() > kMaxConfirmedCalls
              ? "högst " + std::to_string(kMaxConfirmedCalls) + " kallelser kan bekräftas åt gången."
              : "villkoret får bara ange kallelsernas nummer, till exempel WHERE ( LOPNR = 12 OR  LOPNR = 15 ).";
    return std::nullopt;
  }
  return c;
}

int ApplyConfirmation(sqlite3* db, const Confirmation& c, std::string& error) {
  auto fail = [&] {
    error = sqlite3_errmsg(db);
    return -1;
  };
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return fail();
  sqlite3_stmt* s = nullptr;
  int changed = 0;
  bool ok = sqlite3_prepare_v2(db, "UPDATE CALLLOG SET CONFIRMTSTAMP = ?1 WHERE LOPNR = ?2", -1, &s,
                               nullptr) == SQLITE_OK;
  if (ok) sqlite3_bind_text(s, 1, c.stamp.data(), static_cast<int>(c.stamp.size()), SQLITE_TRANSIENT);
  for (std::size_t i = 0; ok && i < c.calls.size(); ++i) {
    sqlite3_bind_int64(s, 2, c.calls[i]);
    ok = sqlite3_step(s) == SQLITE_DONE;
    changed += sqlite3_changes(db);
    sqlite3_reset(s);
  }
  if (ok) ok = sqlite3_finalize(s) == SQLITE_OK;
  else sqlite3_finalize(s);
  if (ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return changed;
  fail();
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return -1;
}

}  // namespace davu::server
