#pragma once
// Linked controls: the controls of a form that a check box enables and disables. Each entry names
// one control and how it follows the box: its check mark, its own enabled state, or both, each
// possibly inverted; one option passes the focus on to the control. An entry gives its control back
// its earlier enabled state when it goes.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/gdi/graphics.h"
#include "platform/system/classes.h"

class TControl;

enum TXcLinkedControlsOption : uint8_t { loLinkChecked, loLinkEnabled, loInvertChecked, loInvertEnabled, loForceFocus };
using TXcLinkedControlsOptions = TEnumSet<TXcLinkedControlsOption>;
constexpr TXcLinkedControlsOptions kDefaultLinkedOptions{loLinkChecked, loLinkEnabled};

// The enabled state of a linked control from the box's enabled state and check mark: each
// negated when inverted; with both links E and C, with one that one, with none false.
bool LinkedControlEnabled(bool boxEnabled, bool boxChecked, TXcLinkedControlsOptions options);

class TXcLinkedControls;

class TXcLinkedControl : public TCollectionItem {
 public:
  explicit TXcLinkedControl(TCollection* collection);
  ~TXcLinkedControl() override;

  TControl* Control() const { return control_; }
  // Raises the framework's Exception "Cannot link to owner control" for the owning control (the
  // entry keeps its control). The control it had gets its saved enabled state back (with
  // RestoreEnabled); the new one's enabled state is saved.
  void SetControl(TControl* value);
  TXcLinkedControlsOptions Options() const { return options_; }
  void SetOptions(TXcLinkedControlsOptions value);
  // The control owning the collection (the check box).
  TControl* OwnerControl();
  bool SavedEnabled() const { return savedEnabled_; }

  void Assign(TPersistent* source) override;
  std::string DisplayName() override;

 private:
  friend class TXcLinkedControls;
  TXcLinkedControls* Links() const;
  TControl* control_ = nullptr;
  TXcLinkedControlsOptions options_ = kDefaultLinkedOptions;
  TControl* ownerControl_ = nullptr;
  bool savedEnabled_ = true;
};

class TXcLinkedControls : public TCollectionOf<TXcLinkedControl> {
 public:
  // The owner is the control whose state the entries follow.
  explicit TXcLinkedControls(TControl* owner);
  TControl* OwnerControl() const { return owner_; }

  bool RestoreEnabled() const { return restoreEnabled_; }
  void SetRestoreEnabled(bool value) { restoreEnabled_ = value; }
  // The owner re-applies the rule to all controls (an entry or the whole list changed).
  std::function<void()> OnChanged;

  // From other linked controls: their entries (in one update bracket) and RestoreEnabled.
  void Assign(TPersistent* source) override;
  // A component went away: every entry that links it lets go of it (in one update bracket; only
  // forgetting it while the owner itself is being destroyed).
  void ComponentRemoved(TComponent* component);

 protected:
  void Update(TCollectionItem* item) override;

 private:
  TControl* owner_;
  bool restoreEnabled_ = true;
};
