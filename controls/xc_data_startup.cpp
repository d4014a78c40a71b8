#include "controls/xc_data_startup.h"

#include <iterator>

#include "controls/xc_data_contexts.h"
#include "controls/xc_data_item_extensions.h"
#include "controls/xc_data_list_extensions.h"
#include "controls/xc_data_view_list.h"

namespace {

const TPersistentClass kStreamedClasses[] = {
    &TXcDataItemsList::ClassInfo,           &TXcCustomDataItemsImages::ClassInfo,
    &TXcCustomDataItemsTextRenderer::ClassInfo, &TXcBaseDataItemsListManagement::ClassInfo,
    &TXcBaseDataItem::ClassInfo,            &TXcDataItemTextImpl::ClassInfo,
    &TXcDataItemImageImpl::ClassInfo,       &TXcDataItemContextTextImpl::ClassInfo,
    &TXcDataItemBlockableTextImpl::ClassInfo, &TXcDataConsumer::ClassInfo,
    &TXcDataConsumerItemSelect::ClassInfo,  &TXcDataContexts::ClassInfo,
    &TXcDataContext::ClassInfo,             &TXcManagedDataContext::ClassInfo,
    &TXcFixedDataContext::ClassInfo,
};
static_assert(std::size(kStreamedClasses) == 15);

}  // namespace

void RegisterDataProviderClasses() {
  for (TPersistentClass cls : kStreamedClasses) RegisterClass(cls);
  TXcDataConsumer::TreeViewClass = &TXcDataConsumerViewList::ClassInfo;
}

void UnRegisterDataProviderClasses() {
  TXcDataConsumer::TreeViewClass = nullptr;
  for (auto it = std::rbegin(kStreamedClasses); it != std::rend(kStreamedClasses); ++it) UnRegisterClass(*it);
}
