#pragma once
// Shared types of the control library: the owned option-object bases (TXcPersistent and the
// change-notifying TXcPersistentProperty), the clipboard, gradient and font-tracking enumerations,
// and the library's exception.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/gdi/graphics.h"
#include "platform/system/classes.h"
#include "platform/system/exception.h"

// The library's failures.
class EXCLException : public Exception { using Exception::Exception; };

enum TXcClipboardCommand : uint8_t { caCopy, caCut, caPaste, caClear, caUndo };
using TXcClipboardCommands = TEnumSet<TXcClipboardCommand>;
constexpr TXcClipboardCommands kAllClipboardCommands{caCopy, caCut, caPaste, caClear, caUndo};

enum TXcGradientStyle : uint8_t { grFilled, grEllipse, grHorizontal, grVertical, grPyramid, grMount };

enum TXcTrackFontOption : uint8_t {
  hoFollowFont, hoPreserveCharSet, hoPreserveColor, hoPreserveHeight, hoPreserveName, hoPreservePitch,
  hoPreserveStyle
};
using TXcTrackFontOptions = TEnumSet<TXcTrackFontOption>;

// An option object owned by a control (or by another option object). With a component as owner it
// is that component's sub-component and goes with it; with any other owner whoever made it frees it.
class TXcPersistent : public TComponent {
 public:
  explicit TXcPersistent(TPersistent* owner);
  // The remembered owner (any persistent object).
  TPersistent* PersistentOwner() const { return owner_; }
  // The object's name path, behind its owner's path and "." when the owner is a sub-component
  // itself or has an owner of its own (and its path is not empty).
  std::string GetNamePath() override;

 protected:
  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;
};

using TXcPropertyChangeEvent = std::function<void(TObject* Sender, const std::string& PropName)>;

// An option object that tells its owner of changes: OnBeforeChange and OnAfterChange bracket a change
// (a locked group of changes counts as one), OnBeforePropertyChange and OnAfterPropertyChange name
// each property as it changes, locked or not.
class TXcPersistentProperty : public TXcPersistent {
 public:
  using TXcPersistent::TXcPersistent;

  int32_t ChangeLockCount() const { return changeLockCount_; }
  // A group of changes: the first lock tells "changing", the last unlock "changed". An unlock
  // without a lock does nothing.
  virtual void LockChanges();
  virtual void UnlockChanges();

  TNotifyEvent OnBeforeChange;
  TNotifyEvent OnAfterChange;
  TXcPropertyChangeEvent OnBeforePropertyChange;
  TXcPropertyChangeEvent OnAfterPropertyChange;

 protected:
  // OnAfterChange / OnBeforeChange, when no lock is held.
  virtual void NotifyChanged();
  virtual void NotifyChanging();
  // OnAfterPropertyChange / OnBeforePropertyChange with the property's name, whatever the lock.
  virtual void NotifyPropertyChanged(const std::string& propName);
  virtual void NotifyPropertyChanging(const std::string& propName);
  // True: NotifyChanging; false: NotifyChanged.
  virtual void SetUpdating(bool updating);
  // Stores a changed value between the change notifications, with the property's name.
  template <class T>
  void Change(T& field, T value, const char* name) {
    if (field == value) return;
    NotifyChanging();
    NotifyPropertyChanging(name);
    field = value;
    NotifyPropertyChanged(name);
    NotifyChanged();
  }

 private:
  int32_t changeLockCount_ = 0;
};
