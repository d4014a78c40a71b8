#pragma once
// Actions: a command with its caption, check mark, enabled state, group, hint, help context, image,
// shortcut and visibility, kept once and shown by every control linked to it. An action list holds
// actions and the image list their images come from. A control reaches its action through an action
// link, which tells the control of each change of a property the link says is linked.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/classes.h"
#include "platform/ui/menus.h"

class TBasicActionLink;
class TActionList;
class TCustomImageList;

class TBasicAction : public TComponent {
 public:
  explicit TBasicAction(TComponent* owner);
  // Every link lets go of the action first.
  ~TBasicAction() override;

  // Runs OnExecute; false when there is none.
  virtual bool Execute();
  TNotifyEvent OnExecute;
  // The component whose click ran the action last.
  TComponent* ActionComponent() const { return actionComponent_; }
  void SetActionComponent(TComponent* value) { actionComponent_ = value; }
  int ClientCount() const { return static_cast<int>(clients_.size()); }

 protected:
  // Tells every link that the action changed.
  virtual void Change();
  std::vector<TBasicActionLink*> clients_;

 private:
  friend class TBasicActionLink;
  friend class TActionList;
  void RegisterChanges(TBasicActionLink* link);
  void UnRegisterChanges(TBasicActionLink* link);
  TComponent* actionComponent_ = nullptr;
};

class TCustomAction : public TBasicAction {
  friend class TActionList;

 public:
  explicit TCustomAction(TComponent* owner);
  ~TCustomAction() override;

  TActionList* ActionList() const { return actionList_; }
  // Moves the action into a list (null: out of any).
  void SetActionList(TActionList* value);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  bool Checked() const { return checked_; }
  // Checking an action of a group (GroupIndex above 0) unchecks the others of its list's group.
  void SetChecked(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  // A disabled action does nothing.
  bool Execute() override;

 private:
  // Tells the links through set and then sets the field, when the value changed.
  template <class T, class Set>
  void Update(T& field, const T& value, Set set);

  TActionList* actionList_ = nullptr;
  std::string caption_;
  bool checked_ = false;
  bool enabled_ = true;
  int groupIndex_ = 0;
  int helpContext_ = 0;
  std::string hint_;
  int imageIndex_ = -1;
  TShortCut shortCut_ = 0;
  bool visible_ = true;
};

class TAction : public TCustomAction {
 public:
  using TCustomAction::TCustomAction;
};

// A list of actions (not owned: each action's owner frees it) and the images they show.
class TActionList : public TComponent {
 public:
  explicit TActionList(TComponent* owner);
  ~TActionList() override;
  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TCustomAction* Actions(int index) const { return actions_.at(static_cast<size_t>(index)); }
  void AddAction(TCustomAction* action);
  void RemoveAction(TCustomAction* action);
  TCustomImageList* Images() const { return images_; }
  // Each action tells its links, which take the new images.
  void SetImages(TCustomImageList* value);
  TNotifyEvent OnChange;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void Change();
  std::vector<TCustomAction*> actions_;
  TCustomImageList* images_ = nullptr;
};

// The tie between an action and one client. The client makes its link and sets its action.
class TBasicActionLink : public TObject {
 public:
  explicit TBasicActionLink(TObject* client);
  ~TBasicActionLink() override;
  TBasicAction* Action() const { return action_; }
  virtual void SetAction(TBasicAction* value);
  // Runs the action for component (its ActionComponent meanwhile); false when it did nothing.
  virtual bool Execute(TComponent* component);
  // The action changed as a whole: OnChange, which the client uses to take the action's state.
  virtual void Change();
  TNotifyEvent OnChange;

 protected:
  TObject* client_;

 private:
  TBasicAction* action_ = nullptr;
};

class TActionLink : public TBasicActionLink {
 public:
  using TBasicActionLink::TBasicActionLink;

  // Whether the client follows each property of the action (the plain link follows none).
  virtual bool IsCaptionLinked() { return false; }
  virtual bool IsCheckedLinked() { return false; }
  virtual bool IsEnabledLinked() { return false; }
  virtual bool IsGroupIndexLinked() { return false; }
  virtual bool IsHelpContextLinked() { return false; }
  virtual bool IsHintLinked() { return false; }
  virtual bool IsImageIndexLinked() { return false; }
  virtual bool IsShortCutLinked() { return false; }
  virtual bool IsVisibleLinked() { return false; }
  // A property of the action is about to change (the action still holds the old value): the client
  // takes the new one. Called for linked properties only.
  virtual void SetCaption(const std::string&) {}
  virtual void SetChecked(bool) {}
  virtual void SetEnabled(bool) {}
  virtual void SetGroupIndex(int) {}
  virtual void SetHelpContext(int) {}
  virtual void SetHint(const std::string&) {}
  virtual void SetImageIndex(int) {}
  virtual void SetShortCut(TShortCut) {}
  virtual void SetVisible(bool) {}

 protected:
  TCustomAction* CustomAction() const { return dynamic_cast<TCustomAction*>(Action()); }
};

// A control's link: caption, enabled state, hint and visibility are linked while the control shows
// the action's value. (Every change of the action also gives the control all of them anew, through
// the control's ActionChange.)
class TControlActionLink : public TActionLink {
 public:
  explicit TControlActionLink(TControl* client) : TActionLink(client), control_(client) {}
  bool IsCaptionLinked() override;
  bool IsEnabledLinked() override;
  bool IsHintLinked() override;
  bool IsVisibleLinked() override;
  void SetCaption(const std::string& value) override;
  void SetEnabled(bool value) override;
  void SetHint(const std::string& value) override;
  void SetVisible(bool value) override;

 protected:
  TControl* control_;
};
