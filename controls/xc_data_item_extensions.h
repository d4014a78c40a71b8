#pragma once
// Extensions of data items: a text (plain, per context, or one that can be made read-only) and the
// image settings of an item. Every setter does nothing for an unchanged value and otherwise
// announces the change to the item's provider (reason dcItemChanged, the item before and after).
#include <string>
#include <utility>
#include <vector>

#include "controls/xc_data_items.h"

class TXcBaseDataItemTextImpl : public TXcDataItemAggregatedObject, public IXcDataItemText {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcBaseDataItemTextImpl(TExtensibleInterfacedPersistent* owner) : TXcDataItemAggregatedObject(owner) {}

  bool GetInterface(const TGUID& iid, void** obj) override;
  // Left to descendants (EAbstractError here).
  std::string Text() override;
  void SetText(const std::string& value) override;
  bool Editable() override;
};

class TXcDataItemTextImpl : public TXcBaseDataItemTextImpl {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcDataItemTextImpl(TExtensibleInterfacedPersistent* owner) : TXcBaseDataItemTextImpl(owner) {}

  std::string Text() override { return text_; }
  void SetText(const std::string& value) override;
  bool Editable() override { return true; }
  // The text as stored, for the stream and for descendants' fallbacks.
  const std::string& DefaultText() const { return text_; }

 private:
  std::string text_;
};

// A text per context: the selected context's own text, or the nearest ancestor context's, or the
// item's default text. With no context selected it is the default text.
class TXcDataItemContextTextImpl : public TXcDataItemTextImpl, public IXcDataItemContextCaption {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcDataItemContextTextImpl(TExtensibleInterfacedPersistent* owner) : TXcDataItemTextImpl(owner) {}
  ~TXcDataItemContextTextImpl() override;

  bool GetInterface(const TGUID& iid, void** obj) override;
  std::string Text() override;
  void SetText(const std::string& value) override;
  void RevertToDefault() override;
  bool IsDefault() override;
  // A context that goes takes its text with it.
  void ContextDestroyed(IXcDataContext* context) override;

 private:
  TIntfPtr<IXcDataContext> CurrentContext();
  int32_t IndexOfContext(IXcDataContext* context) const;
  // (text, context) pairs; a context has at most one.
  std::vector<std::pair<std::string, TIntfPtr<IXcDataContext>>> texts_;
};

// A text that is editable exactly while ReadOnly is false.
class TXcDataItemBlockableTextImpl : public TXcDataItemTextImpl {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcDataItemBlockableTextImpl(TExtensibleInterfacedPersistent* owner) : TXcDataItemTextImpl(owner) {}

  bool Editable() override { return !readOnly_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);

 private:
  bool readOnly_ = false;
};

class TXcBaseDataItemImageImpl : public TXcDataItemAggregatedObject, public IXcDataItemGlyph {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcBaseDataItemImageImpl(TExtensibleInterfacedPersistent* owner) : TXcDataItemAggregatedObject(owner) {}

  bool GetInterface(const TGUID& iid, void** obj) override;
  // Left to descendants (EAbstractError here).
  TAlignment Alignment() override;
  void SetAlignment(TAlignment value) override;
  int32_t ImageIndex() override;
  void SetImageIndex(int32_t value) override;
  int32_t SelectedIndex() override;
  void SetSelectedIndex(int32_t value) override;
};

class TXcDataItemImageImpl : public TXcBaseDataItemImageImpl {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcDataItemImageImpl(TExtensibleInterfacedPersistent* owner) : TXcBaseDataItemImageImpl(owner) {}

  TAlignment Alignment() override { return alignment_; }
  void SetAlignment(TAlignment value) override;
  int32_t ImageIndex() override { return imageIndex_; }
  void SetImageIndex(int32_t value) override;
  int32_t SelectedIndex() override { return selectedIndex_; }
  void SetSelectedIndex(int32_t value) override;

 private:
  template <class T>
  void Change(T& field, T value);
  TAlignment alignment_ = taLeftJustify;
  int32_t imageIndex_ = 0;
  int32_t selectedIndex_ = 0;
};
