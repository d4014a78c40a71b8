#pragma once
// String lists: TStrings, the abstract list of strings each with an object, and TStringList, the
// list that keeps them itself (optionally sorted). Controls expose their items as TStrings whose
// operations go to the control (a list box's items, a memo's lines).
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/classes.h"
#include "platform/system/compare_text.h"  // CompareText and SameText, which the lists use

class TStream;

// Raised for an index outside the list ("List index out of bounds (%d)"), a duplicate refused by
// dupError ("String list does not allow duplicates") and operations a sorted list refuses
// ("Operation not allowed on sorted list").
class EStringListError : public Exception { using Exception::Exception; };

class TStrings : public TPersistent {
 public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  // ---- the operations a list class provides
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& s);
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* object);
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  // ---- built on them
  virtual int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* object);
  void Append(const std::string& s) { Add(s); }
  void InsertObject(int index, const std::string& s, TObject* object);
  virtual void AddStrings(const TStrings& strings);
  void AddStrings(const std::vector<std::string>& strings);
  virtual void Exchange(int index1, int index2);
  virtual void Move(int curIndex, int newIndex);
  // The first index of s (compared as the list compares), or -1.
  virtual int IndexOf(const std::string& s) const;
  int IndexOfObject(TObject* object) const;
  std::string Strings(int index) const { return Get(index); }
  void SetStrings(int index, const std::string& s) { Put(index, s); }
  TObject* Objects(int index) const { return GetObject(index); }
  void SetObjects(int index, TObject* object) { PutObject(index, object); }
  std::vector<std::string> ToVector() const;

  // "name=value" entries.
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  int IndexOfName(const std::string& name) const;
  std::string Values(const std::string& name) const;
  // Sets the value of name, adding the entry when missing; an empty value removes the entry.
  void SetValues(const std::string& name, const std::string& value);

  // The lines joined by CR LF (each line ends with one); setting splits at CR LF, LF or CR.
  virtual std::string Text() const;
  virtual void SetText(const std::string& text);
  // The entries separated by Delimiter, an entry quoted with QuoteChar when it holds a blank, the
  // delimiter, the quote or a control character; setting parses such text (a quoted entry may hold
  // the quote doubled). CommaText uses ',' and '"' with blanks also separating unquoted entries.
  std::string DelimitedText() const;
  void SetDelimitedText(const std::string& text);
  std::string CommaText() const;
  void SetCommaText(const std::string& text);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char c) { quoteChar_ = c; }

  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& fileName);
  // Writes through a safe file stream: the old file stays whole until the new one is complete.
  void SaveToFile(const std::string& fileName) const;

  // While updates are pending, the list tells its users of changes once, at the last EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Copies another TStrings (strings and objects); raises the standard error for other classes.
  void Assign(TPersistent* source) override;
  bool Equals(const TStrings& other) const;

 protected:
  // Called with true at the first BeginUpdate and false at the last EndUpdate.
  virtual void SetUpdateState(bool updating) { (void)updating; }
  // Raises EStringListError "List index out of bounds (%d)".
  [[noreturn]] static void Error(int index);
  // Compares two strings as the list does (case-insensitive unless the list says otherwise).
  virtual int CompareStrings(const std::string& a, const std::string& b) const;

 private:
  int updateCount_ = 0;
  char delimiter_ = ',';
  char quoteChar_ = '"';
};

enum TDuplicates : uint8_t { dupIgnore, dupAccept, dupError };

class TStringList;
using TStringListSortCompare = std::function<int(TStringList* list, int index1, int index2)>;

class TStringList : public TStrings {
 public:
  TStringList() = default;
  ~TStringList() override;

  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  int Add(const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const std::string& s) const override;

  // Binary search of a sorted list: true when found; index is where it is or would go.
  bool Find(const std::string& s, int& index) const;
  virtual void Sort();
  void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates value) { duplicates_ = value; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);
  // When set, the list frees its objects as their entries go and when it is freed.
  bool OwnsObjects() const { return ownsObjects_; }
  void SetOwnsObjects(bool value) { ownsObjects_ = value; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  int CompareStrings(const std::string& a, const std::string& b) const override;
  virtual void Changed();
  virtual void Changing();

 private:
  void InsertItem(int index, const std::string& s, TObject* object);
  void SortBy(const TStringListSortCompare& compare);

  std::vector<std::pair<std::string, TObject*>> items_;
  bool sorted_ = false;
  TDuplicates duplicates_ = dupIgnore;
  bool caseSensitive_ = false;
  bool ownsObjects_ = false;
  bool updating_ = false;
};

