#pragma once
// The root of the framework's class tree: every component, persistent object and thread is a TObject,
// so that events can name their sender as one type.
#include <functional>
#include <string>

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;

  // The name of the object's class as declared ("TButton").
  std::string ClassName() const;
};

// The event every control and component fires for "something happened", sender first.
using TNotifyEvent = std::function<void(TObject* Sender)>;
