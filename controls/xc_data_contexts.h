#pragma once
// Data contexts: the named views a provider may offer of its items, in a tree of context lists (a
// list belongs to the context it is the sub-list of, its ancestor; the provider's top-level list
// has none). An item can carry a different text in each context.
#include <cstdint>
#include <string>
#include <vector>

#include "controls/xc_data_provider.h"

class TXcBaseDataContext;

class TXcBaseDataContexts : public TExtensibleInterfacedPersistent, public IXcDataContextList {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  TXcBaseDataContexts(IXcDataProvider* provider, IXcDataContext* ancestor) : provider_(provider), ancestor_(ancestor) {}

  TIntfPtr<IXcDataProvider> Provider() override { return provider_; }
  TIntfPtr<IXcDataContext> Ancestor() override { return ancestor_; }
  int32_t Count() override { return GetCount(); }
  // Raises EListError for an index outside the list.
  TIntfPtr<IXcDataContext> Contexts(int32_t index) override { return GetContext(index); }
  // The first segment of the path (up to "\" or "/") names a context of this list, compared
  // without regard to case from the last to the first; the rest of the path is then looked up
  // in the list that holds the matched context. ".." goes to the list that holds the ancestor; an
  // empty first segment, in a list with an ancestor, to the provider's top-level contexts.
  TIntfPtr<IXcDataContext> ContextByName(const std::string& namePath) override;
  int32_t IndexOf(IXcDataContext* context) override;

  virtual int32_t GetCount() = 0;
  // Not counted: the list keeps it.
  virtual IXcDataContext* GetContext(int32_t index) = 0;

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override;
  // A list that goes leaves its contexts without an owner.
  void OrphanContext(IXcDataContext* context);

 private:
  TIntfPtr<IXcDataProvider> provider_;
  TIntfPtr<IXcDataContext> ancestor_;
};

// A list that keeps its contexts counted. Adding announces dcContextAdded (the ancestor / the new
// context), deleting dcContextDeleted (the context / the ancestor); clearing announces nothing.
class TXcDataContexts : public TXcBaseDataContexts {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcBaseDataContexts::TXcBaseDataContexts;
  ~TXcDataContexts() override;

  int32_t GetCount() override { return static_cast<int32_t>(contexts_.size()); }
  IXcDataContext* GetContext(int32_t index) override;

  // A context already in the list is not added again; another of the same name raises
  // EXCLDataContexts "A context with that name already exists".
  virtual void AddContext(IXcDataContext* context);
  // A context that is not deletable stays, silently.
  virtual void DeleteContext(int32_t index);
  virtual void RemoveContext(IXcDataContext* context);
  virtual void Clear();

 private:
  std::vector<TIntfPtr<IXcDataContext>> contexts_;
};

class TXcBaseDataContext : public TExtensibleInterfacedPersistent, public IXcDataContext {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  // Raises EXCLDataContexts "Cannot create a context without a context list owner" without one.
  explicit TXcBaseDataContext(TXcBaseDataContexts* owner);

  TObject* Implementor() override { return this; }
  TIntfPtr<IXcDataContextList> OwnerList() override { return static_cast<IXcDataContextList*>(owner_); }
  bool IsDeletable() override { return true; }
  // A context is written to streams exactly when it cannot be deleted.
  bool IsStreamed() { return !IsDeletable(); }
  TXcBaseDataContexts* OwnerObject() const { return owner_; }

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override;

 private:
  friend class TXcBaseDataContexts;
  TXcBaseDataContexts* owner_;  // not counted; cleared when the list goes first
};

class TXcDataContext : public TXcBaseDataContext {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  TXcDataContext(TXcBaseDataContexts* owner, const TXcDataContextID& name = "");

  TXcDataContextID Name() override { return name_; }
  // Does nothing for the present name; raises EXCLDataContexts "A context with that name already
  // exists" when the owning list finds another context of the name.
  void SetName(const TXcDataContextID& value);

 private:
  TXcDataContextID name_;
};

class TXcManagedDataContext : public TXcDataContext, public IXcDataContextRename {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcDataContext::TXcDataContext;
  void SetName(const TXcDataContextID& value) override { TXcDataContext::SetName(value); }

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override;
};

class TXcFixedDataContext : public TXcDataContext {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcDataContext::TXcDataContext;
  bool IsDeletable() override { return false; }
};
