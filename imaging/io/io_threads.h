#pragma once
// TIEIOThread: one asynchronous call of a TZodazUrIO. The component's loads and saves, when they are
// to run asynchronously, queue the call of their kind with themselves as the method and their own
// arguments, and return at once. The component's I/O worker makes the same call again on its own
// thread, where the component recognises the thread as its own and does the work there.
//
// Each component has at most one worker thread. It takes the queued calls one at a time, in the
// order they were made (first in, first out), and ends when the queue is empty; the next call starts
// a new one. So a load followed by a save always saves what was loaded, and thousands of queued calls
// cost one thread, not thousands. The component joins its worker before it goes: its destructor and
// WaitThreads never let the worker outlive the component's lock and queue.
//
// A stream passed to an asynchronous call belongs to the caller, who must keep it alive and leave it
// alone until the call has finished (OnFinishWork, or WaitThreads has returned).
#include <cstdint>
#include <functional>
#include <string>

#include "imaging/io/file_format_ids.h"

class TStream;
class TZodazUrIO;

class TIEIOThread {
 public:
  // The kinds of call, by their arguments.
  enum TCallKind : int32_t {
    ckFile = 0,            // procedure (FileName)
    ckStream = 1,          // procedure (Stream)
    ckFileFunction = 2,    // function (FileName): int32, result dropped
    ckStreamFunction = 4,  // function (Stream): int32, result dropped
    ckFileFormat = 5,      // procedure (FileName, Format)
    ckStreamFormat = 6,    // procedure (Stream, Format)
    ckInteger = 8,         // procedure (Value)
    ckMetafile = 9,        // procedure (FileName, Width, Height, WithAlpha)
    ckURL = 10,            // procedure (URL)
  };

  // One starter per kind: queues the call on Owner (starting Owner's worker when none is running).
  // Method is a member of the owner's class, so the call reaches the overriding operation of the
  // actual class.
  template <class C>
  static void CreateFileCall(C* Owner, void (C::*Method)(const std::string&), const std::string& FileName) {
    Start(Owner, ckFile, [Owner, Method, FileName] { (Owner->*Method)(FileName); });
  }
  template <class C>
  static void CreateStreamCall(C* Owner, void (C::*Method)(TStream&), TStream& Stream) {
    Start(Owner, ckStream, [Owner, Method, &Stream] { (Owner->*Method)(Stream); });
  }
  template <class C>
  static void CreateFileFunction(C* Owner, int32_t (C::*Method)(const std::string&), const std::string& FileName) {
    Start(Owner, ckFileFunction, [Owner, Method, FileName] { (Owner->*Method)(FileName); });
  }
  template <class C>
  static void CreateStreamFunction(C* Owner, int32_t (C::*Method)(TStream&), TStream& Stream) {
    Start(Owner, ckStreamFunction, [Owner, Method, &Stream] { (Owner->*Method)(Stream); });
  }
  template <class C>
  static void CreateFileFormatCall(C* Owner, void (C::*Method)(const std::string&, TIEFileFormatId),
                                   const std::string& FileName, TIEFileFormatId Format) {
    Start(Owner, ckFileFormat, [Owner, Method, FileName, Format] { (Owner->*Method)(FileName, Format); });
  }
  template <class C>
  static void CreateStreamFormatCall(C* Owner, void (C::*Method)(TStream&, TIEFileFormatId), TStream& Stream,
                                     TIEFileFormatId Format) {
    Start(Owner, ckStreamFormat, [Owner, Method, &Stream, Format] { (Owner->*Method)(Stream, Format); });
  }
  // A load from a caller's memory block (kept by the caller until the call has finished).
  template <class C>
  static void CreateBufferCall(C* Owner, void (C::*Method)(const void*, int64_t, TIEFileFormatId), const void* Buffer,
                               int64_t Size, TIEFileFormatId Format) {
    Start(Owner, ckStreamFormat, [Owner, Method, Buffer, Size, Format] { (Owner->*Method)(Buffer, Size, Format); });
  }
  template <class C>
  static void CreateIntegerCall(C* Owner, void (C::*Method)(int32_t), int32_t Value) {
    Start(Owner, ckInteger, [Owner, Method, Value] { (Owner->*Method)(Value); });
  }
  template <class C>
  static void CreateMetafileCall(C* Owner, void (C::*Method)(const std::string&, int32_t, int32_t, bool),
                                 const std::string& FileName, int32_t Width, int32_t Height, bool WithAlpha) {
    Start(Owner, ckMetafile,
          [Owner, Method, FileName, Width, Height, WithAlpha] { (Owner->*Method)(FileName, Width, Height, WithAlpha); });
  }
  template <class C>
  static void CreateURLCall(C* Owner, void (C::*Method)(const std::string&), const std::string& URL) {
    Start(Owner, ckURL, [Owner, Method, URL] { (Owner->*Method)(URL); });
  }

  TCallKind Kind() const { return kind_; }

 private:
  friend class TZodazUrIO;
  friend class TIEIOWorker;
  TIEIOThread(TCallKind Kind, std::function<void()> Call) : kind_(Kind), call_(std::move(Call)) {}
  static void Start(TZodazUrIO* Owner, TCallKind Kind, std::function<void()> Call);

  TCallKind kind_;
  std::function<void()> call_;
};
