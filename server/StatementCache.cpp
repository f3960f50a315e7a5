#include "server/StatementCache.h"

#include <algorithm>
#include <charconv>

namespace davu::server {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool WordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

struct Number {
  std::size_t at, length;
  std::int64_t value;
};

// The numbers of "(n, n, ...)" from `i`, and where the list ends; false when
// what follows is anything else (a subquery, an expression, a comment).
bool ReadList(std::string_view sql, std::size_t i, std::vector<Number>& list, std::size_t& end) {
  const std::size_t n = sql.size();
  while (i < n && Blank(sql[i])) ++i;
  if (i >= n || sql[i] != '(') return false;
  ++i;
  for (;;) {
    while (i < n && Blank(sql[i])) ++i;
    const std::size_t from = i;
    while (i < n && sql[i] >= '0' && sql[i] <= '9') ++i;
    if (i == from || (i < n && WordChar(sql[i])) || (i < n && sql[i] == '.')) return false;
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(sql.data() + from, sql.data() + i, value);
    if (ec != std::errc() || ptr != sql.data() + i) return false;  // too large for a whole number
    list.push_back({from, i - from, value});
    while (i < n && Blank(sql[i])) ++i;
    if (i < n && sql[i] == ',') {
      ++i;
      continue;
    }
    if (i < n && sql[i] == ')') {
      end = i + 1;
      return true;
    }
    return false;
  }
}

}  // namespace

std::size_t SkipQuotedOrComment(std::string_view sql, std::size_t i) {
  const std::size_t n = sql.size();
  const char c = sql[i];
  if (c == '\'' || c == '"' || c == '`' || c == '[') {
    const char close = c == '[' ? ']' : c;
    std::size_t j = i + 1;
    while (j < n) {
      if (sql[j] == close) {
        if (close != ']' && j + 1 < n && sql[j + 1] == close) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return n;
  }
  if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
    const std::size_t j = sql.find('\n', i);
    return j == std::string_view::npos ? n : j;
  }
  if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
    const std::size_t j = sql.find("*/", i + 2);
    return j == std::string_view::npos ? n : j + 2;
  }
  return i;
}

bool ListsAsParameters(std::string_view sql, std::size_t most, std::string& text,
                       std::vector<std::int64_t>& values) {
  const auto asItIs = [&] {
    text.assign(sql);
    values.clear();
    return false;
  };
  values.clear();
  std::vector<Number> numbers;
  const std::size_t n = sql.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t skipped = SkipQuotedOrComment(sql, i);
    if (skipped != i) {
      i = skipped;
      continue;
    }
    const char c = sql[i];
    // The statement's own parameters would be numbered among the lists'.
    if (c == '?' || c == ':' || c == '@' || c == '$') return asItIs();
    if (!WordChar(c)) {
      ++i;
      continue;
    }
    const std::size_t word = i;
    while (i < n && WordChar(sql[i])) ++i;
    if (i - word != 2 || (sql[word] | 0x20) != 'i' || (sql[word + 1] | 0x20) != 'n') continue;
    std::vector<Number> list;
    std::size_t end = 0;
    if (!ReadList(sql, i, list, end)) continue;
    if (numbers.size() + list.size() > most) return asItIs();
    numbers.insert(numbers.end(), list.begin(), list.end());
    i = end;
  }
  if (numbers.empty()) return asItIs();
  text.clear();
  text.reserve(sql.size());
  std::size_t from = 0;
  for (const Number& number : numbers) {
    text.append(sql.substr(from, number.at - from));
    text += '?';
    from = number.at + number.length;
    values.push_back(number.value);
  }
  text.append(sql.substr(from));
  return true;
}

StatementCache::~StatementCache() {
  for (Entry& e : entries_) sqlite3_finalize(e.statement);
}

sqlite3_stmt* StatementCache::find(std::string_view text) {
  for (Entry& e : entries_)
    if (e.text == text) {
      e.used = ++clock_;
      return e.statement;
    }
  return nullptr;
}

bool StatementCache::keep(std::string text, sqlite3_stmt* statement) {
  if (capacity_ == 0 || text.size() > kMaxText ||
      sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_MEMUSED, 0) > kMaxStatementBytes)
    return false;
  drop(text);
  if (entries_.size() >= capacity_) {
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const Entry& a, const Entry& b) { return a.used < b.used; });
    sqlite3_finalize(oldest->statement);
    entries_.erase(oldest);
  }
  entries_.push_back({std::move(text), statement, ++clock_});
  return true;
}

void StatementCache::drop(std::string_view text) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.text == text; });
  if (it == entries_.end()) return;
  sqlite3_finalize(it->statement);
  entries_.erase(it);
}

}  // namespace davu::server
