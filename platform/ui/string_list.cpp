#include "platform/ui/string_list.h"

#include <algorithm>
#include <memory>

#include "platform/system/streams.h"

// ---------------------------------------------------------------------------------------------- TStrings

void TStrings::Error(int index) { throw EStringListError(Format("List index out of bounds (%d)", index)); }

int TStrings::CompareStrings(const std::string& a, const std::string& b) const { return CompareText(a, b); }

void TStrings::Put(int index, const std::string& s) {
  TObject* object = GetObject(index);
  BeginUpdate();
  try {
    Delete(index);
    InsertObject(index, s, object);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TObject* TStrings::GetObject(int) const { return nullptr; }

void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& s) {
  int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
  int index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object) {
  Insert(index, s);
  PutObject(index, object);
}

void TStrings::AddStrings(const TStrings& strings) {
  BeginUpdate();
  try {
    for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::AddStrings(const std::vector<std::string>& strings) {
  BeginUpdate();
  try {
    for (const std::string& s : strings) Add(s);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int index1, int index2) {
  BeginUpdate();
  try {
    std::string s1 = Get(index1), s2 = Get(index2);
    TObject *o1 = GetObject(index1), *o2 = GetObject(index2);
    Put(index1, s2);
    PutObject(index1, o2);
    Put(index2, s1);
    PutObject(index2, o1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  BeginUpdate();
  try {
    std::string s = Get(curIndex);
    TObject* o = GetObject(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfObject(TObject* object) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

std::vector<std::string> TStrings::ToVector() const {
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(Count()));
  for (int i = 0; i < Count(); ++i) out.push_back(Get(i));
  return out;
}

std::string TStrings::Names(int index) const {
  std::string s = Get(index);
  size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::ValueFromIndex(int index) const {
  std::string s = Get(index);
  size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    size_t p = s.find('=');
    if (p != std::string::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

std::string TStrings::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValues(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  if (i < 0) Add(name + "=" + value);
  else Put(i, name + "=" + value);
}

std::string TStrings::Text() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    out += Get(i);
    out += "\r\n";
  }
  return out;
}

void TStrings::SetText(const std::string& text) {
  BeginUpdate();
  try {
    Clear();
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string::npos) {
        Add(text.substr(start));
        break;
      }
      Add(text.substr(start, end - start));
      start = end + 1;
      if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

namespace {

bool NeedsQuotes(const std::string& s, char delimiter, char quote, bool blanksSeparate) {
  if (s.empty()) return false;
  for (char c : s)
    if (c == delimiter || c == quote || static_cast<unsigned char>(c) < 0x20 || (blanksSeparate && c == ' '))
      return true;
  return false;
}

std::string Quoted(const std::string& s, char quote) {
  std::string out(1, quote);
  for (char c : s) {
    out += c;
    if (c == quote) out += c;
  }
  out += quote;
  return out;
}

std::string JoinDelimited(const TStrings& list, char delimiter, char quote, bool blanksSeparate) {
  // A single empty entry is written as two quotes, so that it reads back as one entry.
  if (list.Count() == 1 && list.Get(0).empty()) return std::string(2, quote);
  std::string out;
  for (int i = 0; i < list.Count(); ++i) {
    if (i > 0) out += delimiter;
    std::string s = list.Get(i);
    out += NeedsQuotes(s, delimiter, quote, blanksSeparate) ? Quoted(s, quote) : s;
  }
  return out;
}

void SplitDelimited(TStrings& list, const std::string& text, char delimiter, char quote, bool blanksSeparate) {
  auto isSeparator = [&](char c) { return c == delimiter || (blanksSeparate && c > 0 && c <= ' '); };
  size_t i = 0, n = text.size();
  auto skipBlanks = [&] {
    while (i < n && text[i] > 0 && text[i] <= ' ' && text[i] != delimiter) ++i;
  };
  list.BeginUpdate();
  try {
    list.Clear();
    skipBlanks();
    while (i < n) {
      std::string entry;
      if (text[i] == quote) {
        ++i;
        while (i < n) {
          if (text[i] == quote) {
            if (i + 1 < n && text[i + 1] == quote) {
              entry += quote;
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          entry += text[i++];
        }
      } else {
        while (i < n && !isSeparator(text[i])) entry += text[i++];
      }
      list.Add(entry);
      skipBlanks();
      if (i < n && text[i] == delimiter) {
        ++i;
        skipBlanks();
        // A delimiter at the very end stands for a last, empty entry.
        if (i >= n) list.Add(std::string());
      }
    }
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}

}  // namespace

std::string TStrings::DelimitedText() const { return JoinDelimited(*this, delimiter_, quoteChar_, false); }

void TStrings::SetDelimitedText(const std::string& text) { SplitDelimited(*this, text, delimiter_, quoteChar_, false); }

std::string TStrings::CommaText() const { return JoinDelimited(*this, ',', '"', true); }

void TStrings::SetCommaText(const std::string& text) { SplitDelimited(*this, text, ',', '"', true); }

void TStrings::LoadFromStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  if (size < 0) size = 0;
  if (size > INT32_MAX) throw EReadError("Stream read error");
  std::string text(static_cast<size_t>(size), '\0');
  int32_t got = text.empty() ? 0 : stream.Read(text.data(), static_cast<int32_t>(size));
  text.resize(static_cast<size_t>(std::max(got, 0)));
  SetText(text);
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string text = Text();
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::string& fileName) const {
  TSafeFileStream stream(fileName);
  SaveToStream(stream);
  stream.Commit();
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TStrings*>(source)) {
    if (other == this) return;
    BeginUpdate();
    try {
      Clear();
      delimiter_ = other->delimiter_;
      quoteChar_ = other->quoteChar_;
      AddStrings(*other);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

// ------------------------------------------------------------------------------------------ TStringList

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (ownsObjects_)
    for (auto& item : items_) delete item.second;
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? a.compare(b) : CompareText(a, b);
}

void TStringList::Changed() {
  if (!updating_ && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (!updating_ && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool updating) {
  updating_ = updating;
  if (updating) {
    if (OnChanging) OnChanging(this);
  } else {
    Changed();
  }
}

std::string TStringList::Get(int index) const {
  if (index < 0 || index >= Count()) Error(index);
  return items_[static_cast<size_t>(index)].first;
}

void TStringList::Put(int index, const std::string& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index >= Count()) Error(index);
  Changing();
  items_[static_cast<size_t>(index)].first = s;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  if (index < 0 || index >= Count()) Error(index);
  return items_[static_cast<size_t>(index)].second;
}

void TStringList::PutObject(int index, TObject* object) {
  if (index < 0 || index >= Count()) Error(index);
  Changing();
  items_[static_cast<size_t>(index)].second = object;
  Changed();
}

int TStringList::Add(const std::string& s) {
  int index = Count();
  if (sorted_) {
    if (Find(s, index)) {
      switch (duplicates_) {
        case dupIgnore: return index;
        case dupError: throw EStringListError("String list does not allow duplicates");
        case dupAccept: break;
      }
    }
  }
  InsertItem(index, s, nullptr);
  return index;
}

void TStringList::Insert(int index, const std::string& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) Error(index);
  InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, {s, object});
  Changed();
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) Error(index);
  Changing();
  TObject* object = items_[static_cast<size_t>(index)].second;
  items_.erase(items_.begin() + index);
  if (ownsObjects_) delete object;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  auto old = std::move(items_);
  items_.clear();
  if (ownsObjects_)
    for (auto& item : old) delete item.second;
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index1 < 0 || index1 >= Count()) Error(index1);
  if (index2 < 0 || index2 >= Count()) Error(index2);
  Changing();
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  Changed();
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index = -1;
  return Find(s, index) ? index : -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
  // The first of equal entries is found, so that IndexOf agrees with an unsorted search.
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = CompareStrings(items_[static_cast<size_t>(mid)].first, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::SortBy(const TStringListSortCompare& compare) {
  // An index sort: the compare function sees the list as it is, so sort a permutation and apply it.
  std::vector<int> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(this, a, b) < 0; });
  std::vector<std::pair<std::string, TObject*>> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(std::move(items_[static_cast<size_t>(i)]));
  items_ = std::move(sorted);
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (sorted_ || items_.size() < 2) return;
  Changing();
  SortBy(compare);
  Changed();
}

void TStringList::Sort() {
  if (items_.size() < 2) return;
  Changing();
  SortBy([](TStringList* list, int a, int b) {
    return list->CompareStrings(list->items_[static_cast<size_t>(a)].first, list->items_[static_cast<size_t>(b)].first);
  });
  Changed();
}

void TStringList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  if (sorted_) Sort();
}
