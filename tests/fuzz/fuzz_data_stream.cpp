// The data provider framework's stream: the bytes are read as the properties of an item list
// whose classes are registered ("Extensions", "Items", items with their extensions and sub-lists),
// the list is written again, and what was written must read back into a new list that writes the
// same bytes. Bad streams may only raise read errors. Then the bytes are used as an
// item path and a context path on a fixed tree: look-ups answer something or nothing, never fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/xc_data_contexts.h"
#include "controls/xc_data_items.h"
#include "controls/xc_data_list_extensions.h"
#include "controls/xc_data_startup.h"
#include "platform/system/filer.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<uint8_t> Write(TXcDataItemsList* list) {
  TMemoryStream s;
  TWriter w(s);
  w.WriteProperties(list);
  w.WriteListEnd();
  auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

void Read(TXcDataItemsList* list, const uint8_t* data, size_t size) {
  TCustomMemoryStream s(data, static_cast<int64_t>(size));
  TReader r(s);
  r.ReadProperties(list);
  r.ReadListEnd();
  r.FixupReferences();
}

TXcBaseDataItem* AddItem(TXcDataItemsList* list, const char* id) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(list);
  item->SetID(id);
  list->InternalAdd(item.Get());
  return item.Get();
}

// Items A (with B and "..", and under B the item "X/Y") and C; contexts A, B, C with B1 and A under B.
struct TFixedTree {
  TIntfPtr<TXcDataItemsList> root = CreateObject<TXcDataItemsList>();
  TXcDataItemsList* aList;
  TXcDataItemsList* bList;
  TIntfPtr<TXcDataContexts> top = CreateObject<TXcDataContexts>(nullptr, nullptr);
  TIntfPtr<TXcDataContexts> below;

  TFixedTree() {
    TXcBaseDataItem* a = AddItem(root.Get(), "A");
    aList = ConstructObject<TXcDataItemsList>(static_cast<IXcDataItem*>(a));
    TXcBaseDataItem* b = AddItem(aList, "B");
    AddItem(aList, "..");
    bList = ConstructObject<TXcDataItemsList>(static_cast<IXcDataItem*>(b));
    AddItem(bList, "X/Y");
    AddItem(root.Get(), "C");
    for (const char* name : {"A", "B", "C"}) top->AddContext(CreateObject<TXcDataContext>(top.Get(), name).Get());
    below = CreateObject<TXcDataContexts>(nullptr, top->GetContext(1));
    for (const char* name : {"B1", "A"}) below->AddContext(CreateObject<TXcDataContext>(below.Get(), name).Get());
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterDataProviderClasses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    TIntfPtr<TXcDataItemsList> list = CreateObject<TXcDataItemsList>();
    try {
      Read(list.Get(), data, size);
    } catch (const EReadError&) {
      // A bad stream: what was read stays. Any other failure ends the run as a finding.
    }
    const std::vector<uint8_t> written = Write(list.Get());
    TIntfPtr<TXcDataItemsList> again = CreateObject<TXcDataItemsList>();
    try {
      Read(again.Get(), written.data(), written.size());
    } catch (const Exception&) {
      Check(false);  // what the writer writes, the reader reads
    }
    Check(Write(again.Get()) == written);
  }

  static TFixedTree* tree = new TFixedTree;  // one tree for every run
  const std::string path(reinterpret_cast<const char*>(data), std::min<size_t>(size, 4096));
  for (TXcDataItemsList* list : {tree->root.Get(), tree->aList, tree->bList}) {
    TIntfPtr<IXcDataItem> found = list->ItemByPath(path);
    if (found) Check(found->Implementor() != nullptr);
    list->FindByID(path, true);
  }
  for (TXcDataContexts* contexts : {tree->top.Get(), tree->below.Get()}) {
    TIntfPtr<IXcDataContext> found = contexts->ContextByName(path);
    if (found) Check(found->OwnerList() != nullptr);
  }
  return 0;
}
