#pragma once
// TIEDirectShow: one media graph of the engine. It plays a media file (capture devices and discs
// join through the same object), lets the caller run, pause, stop and seek it, and hands the
// current video frame over as a TIEBitmap. It stands on the media services' player
// (platform/media): the "graph" is a player with its sample buffer (the grabber), its presenter
// (the windowless renderer) and its audio output.
//
// Two owners create it: the I/O component keeps one for its attached view, whose window receives
// IEM_NEWFRAME and IEM_DSHOWEVENT with LParam = this object; OpenMediaFile creates a second,
// windowless one to read single frames.
//
// Threads. Everything runs on the user-interface thread except the new-frame callback, which
// runs on the player's streaming thread and only posts a message. A posted message never reaches
// a dead object: Disconnect and the destructor stop the player and join its threads, then remove
// every pending message of this object from the notify window's queue; the view's handlers also
// check LParam with IsLive. No operation raises.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/media/media_type.h"
#include "platform/system/guid.h"
#include "platform/system/object.h"
#include "platform/system/types.h"
#include "platform/ui/messages.h"

class TIEBitmap;
class TMediaPlayer;
struct TDvdVmgFacts;

// The menus of a DVD (DVDShowMenu sends the value + 2 as the disc's menu number).
enum TIEDSMenu : uint8_t { dmTitle, dmRoot, dmSubpicture, dmAudio, dmAngle, dmChapter };

// Time formats of positions and durations.
enum TIEDSTimeUnit : uint8_t { tuNone, tuFrame, tuSample, tuField, tuByte, tuMediaTime };

// One capability of a capture pin (the capture devices fill the list).
struct TIEVideoFormat {
  std::string SubtypeName;
  uint32_t BitsPerSecond = 0;
  std::string AnalogStandards;
  int32_t MinOutputWidth = 0, MinOutputHeight = 0;
  int32_t MaxOutputWidth = 0, MaxOutputHeight = 0;
  int32_t OutputWidthStep = 0, OutputHeightStep = 0;
};

// A device or codec chosen for a capture graph: the capture devices and compressors fill it in.
struct TIEDSFilter {
  std::string Name;
  std::string Path;
};

class TIEDirectShow : public TObject {
 public:
  TIEDirectShow();
  ~TIEDirectShow() override;
  TIEDirectShow(const TIEDirectShow&) = delete;
  TIEDirectShow& operator=(const TIEDirectShow&) = delete;

  // True while Object is a TIEDirectShow that has not been destroyed (any thread).
  static bool IsLive(const void* Object);
  // The view's handling of IEM_NEWFRAME (LParam the object): when it is live, its NewFrameNotify
  // is cleared, OnNewFrame runs when the object is connected, and the flag is set again; frames
  // arriving meanwhile post nothing.
  static void HandleNewFrameMessage(LPARAM Object, const std::function<void()>& OnNewFrame);
  // The view's handling of IEM_DSHOWEVENT: OnEvent runs when the object is live and connected.
  static void HandleEventMessage(LPARAM Object, const std::function<void()>& OnEvent);

  // ---- Configuration, read by Connect ----
  std::string InputFileName;
  bool UseSampleGrabber = false;
  bool UseWindowlessRenderer = false;
  bool PlayAudio = false;
  // 0 default (the audio output while sound plays, else monotonic), 1 none (as fast as frames
  // decode), 2 monotonic, 6 the audio renderer's; the device clocks (3, 4, 5) and unknown values
  // act as 1.
  uint8_t ClockSource = 0;
  int32_t ClockTolerance = -1;
  // Non-empty: Connect builds a DVD graph.
  std::string DVDPath;
  // Capture: the devices, compressors and capture file (kept for the capture graphs; a set
  // VideoCompressor suppresses the sample grabber).
  std::shared_ptr<TIEDSFilter> VideoInput;
  std::shared_ptr<TIEDSFilter> AudioInput;
  std::shared_ptr<TIEDSFilter> VideoCompressor;
  std::shared_ptr<TIEDSFilter> AudioCompressor;
  std::string OutputFileName;
  // Device and format lists of the capture devices (empty until they are enumerated).
  std::vector<std::string> VideoInputNames;
  std::vector<TIEVideoFormat> VideoFormats;
  std::vector<std::string> CrossbarInputNames;

  // ---- The graph ----
  // Builds the graph (a connected object is disconnected first). A file that cannot be opened
  // leaves a connected graph without a source: duration and position read 0 (the reason goes to
  // the debug log).
  void Connect();
  void Disconnect();
  bool Connected() const { return connected_; }
  void Run();
  void Pause();
  void StopWhenReady();
  // 0 stopped, 1 paused, 2 running; 0 without a graph.
  int32_t GetState();

  // ---- Time ----
  // Formats the source cannot use change nothing.
  void SetTimeFormat(TIEDSTimeUnit Unit);
  TIEDSTimeUnit GetTimeFormat();
  int64_t GetDuration();
  int64_t GetPosition();
  // Seeks and waits until the frame there is shown (at most the settle bound).
  void SetPosition(int64_t Position);
  // The frame duration in 100 ns: the stream's, else measured by decoding ahead (bounded); 0 when
  // none can be had or without a grabber.
  int64_t GetAvgTimePerFrame();

  // ---- Frames ----
  // Copies the current frame into Bitmap: the windowless renderer's image (resampled back to the
  // bitmap's earlier size with ResampleBack, when it had one), then the grabber's sample.
  void GetCurrentFrame(TIEBitmap* Bitmap, bool ResampleBack = false);
  // The grabber's last sample as ie24RGB at the video's size; nothing without a sample.
  void CopySampleToBitmap(TIEBitmap* Bitmap);
  // The size (and, of a capture device, the subtype name) of the frames: the capture device's
  // current format, else the grabber's frames (the name left as it was); False when neither.
  bool GetCurrentVideoFormat(int32_t& Width, int32_t& Height, std::string& Format);

  // ---- Capture devices (ie_direct_show_capture.cpp) ----
  // The capture devices' names, read on the first call that finds the list empty.
  const std::vector<std::string>& GetVideoInputs();
  // Index < 0 lets go of VideoInput; otherwise the SameNameIndex-th device named
  // VideoInputNames[Index] becomes VideoInput (joined at the next Connect); an index past the list
  // does nothing.
  void SetVideoInput(int32_t Index, int32_t SameNameIndex = 0);
  int32_t VideoFormatCount() const { return static_cast<int32_t>(VideoFormats.size()); }
  // Raises EListError "List index out of bounds (%d)" outside the list.
  const TIEVideoFormat& GetVideoFormat(int32_t Index) const;
  // Asks the connected device for a format: the size when both are positive, the subtype by its
  // table name when given (an unknown name keeps the subtype). Nothing without a device.
  void SetCurrentVideoFormat(int32_t Width, int32_t Height, const std::string& SubtypeName);
  // The media type the last SetCurrentVideoFormat asked for (sample size and all).
  const TMediaType& LastVideoFormatRequest() const { return lastFormatRequest_; }
  // The crossbar input routed to the video decoder; 0 without a crossbar.
  int32_t GetCrossbarVideoInput();
  void SetCrossbarVideoInput(int32_t Index);
  // The subtype table: names, bits per pixel; the analog standards as text.
  static std::string SubtypeToName(const TGUID& Subtype);
  static TGUID NameToSubtype(const std::string& Name, bool& Known);
  static int32_t SubtypeBits(const TGUID& Subtype);
  static std::string AnalogStandardsText(uint32_t Mask);

  // ---- DVD (ie_direct_show_dvd.cpp) ----
  // Navigation of the disc a DVD graph plays; each does nothing without one and waits until the
  // player has done it (a paused graph then shows where it led).
  // The button at (X, Y) of the picture becomes the selected one.
  void DVDSelectAtPosition(int32_t X, int32_t Y);
  void DVDActivateButton();
  void DVDPlayChapterInTitle(int32_t Title, int32_t Chapter);
  void DVDPlayAtTimeInTitle(int32_t Title, uint8_t Hours, uint8_t Minutes, uint8_t Seconds, uint8_t Frames);
  void DVDShowMenu(TIEDSMenu Menu);
  // Forward: the speed as the playback rate (sound only at 1); backward is not played (logged).
  void DVDPlayAtSpeed(bool Forward, double Speed);
  // Subtitles: the title's sub-picture stream drawn (0 ... 31; -1 keeps it) and whether they show
  // (forced sub-pictures and menus show either way); a stream the title lacks is refused.
  void DVDSelectSubpicture(int32_t Stream, bool Show);
  // The sub-picture language asked for (two letters, any case): its stream is drawn now when the
  // title has one, and taken when a title starts. Other texts are refused.
  void DVDSelectSubpictureLanguage(const std::string& Language);
  // The angle (1 ... 9) of a title shot from several, taken where the disc next lets it change.
  void DVDSelectAngle(int32_t Angle);
  // A disc property as text: NUMOFVOLUMES, VOLUME, SIDE, NUMOFTITLES, DISCID (16 upper-case
  // hexadecimal digits), NUMOFCHAPTERS (of the title given as Argument; 1 when it is not a number),
  // TITLE, CHAPTER, TIME and TOTALTITLETIME (hh:mm:ss:ff), ANGLE and NUMOFANGLES (0 in a menu),
  // SUBPICTURE (the stream drawn, -1 none), SUBPICTURELANGUAGE (two lower-case letters, "" when
  // the disc names none) and SUBTITLES (1 shown, 0 not); name and argument in any case. Empty
  // until a DVD graph has read a disc (then from the last disc, also after Disconnect); "Invalid
  // Property" for an unknown name or NUMOFCHAPTERS without an argument. A number the disc cannot
  // give reads 0.
  std::string DVDGetProperty(const std::string& Name, const std::string& Argument);
  // A number of 0 ... 99 as two digits ("05").
  static std::string TwoDigits(int32_t Value);

  // ---- Notifications ----
  void SetNotifyWindow(HWND Window, uint32_t NewFrameMessage, uint32_t EventMessage);
  HWND NotifyWindow() const;
  uint32_t NewFrameMessage() const;
  uint32_t EventMessage() const;
  // While set, each new frame posts NewFrameMessage (the view clears it while its handler runs).
  bool NewFrameNotify() const { return newFrameNotify_.load(); }
  void SetNewFrameNotify(bool Value) { newFrameNotify_ = Value; }
  // Takes the oldest graph event; False at once when none is queued.
  bool GetEvent(int32_t& EventCode);
  bool GetEvent(int32_t& EventCode, intptr_t& Param1, intptr_t& Param2);

  // ---- Windowless renderer ----
  void SetVideoPosition(const TRect& Source, const TRect& Dest);
  void GetNativeVideoSize(int32_t& Width, int32_t& Height);
  void RepaintVideo(HWND Window, HDC DC);

  // The player of the graph (nil while not connected); the capture and DVD graphs and the tests
  // reach the media services through it.
  TMediaPlayer* Player() const { return player_.get(); }

 private:
  void BuildCaptureGraph();
  void BuildDVDGraph();
  // A DVD graph plays a disc.
  bool HasDvd() const;
  // The new player's events post to the notify window (remembered for the removal at Disconnect).
  void AttachEventWindow(HWND Window, uint32_t EventMessage);
  bool HasPlayer() const;
  // Removes the messages posted about this object from the notify window's queue.
  void RemovePostedMessages();
  // Capture devices.
  bool HasStreamConfig() const;
  void FillVideoFormats();
  void FillCrossbarInputNames();
  void RouteTunerAudio();
  std::vector<std::string> videoInputIds_;
  TMediaType lastFormatRequest_;

  // The last disc read by a DVD graph (what the DVD information answers from).
  std::shared_ptr<const TDvdVmgFacts> dvdInfo_;

  bool connected_ = false;
  bool grabber_ = false;
  bool windowless_ = false;
  std::unique_ptr<TMediaPlayer> player_;
  std::atomic<bool> newFrameNotify_{true};
  // The notify window and messages, read by the streaming thread.
  mutable std::mutex notifyMutex_;
  HWND notifyWindow_ = nullptr;
  uint32_t newFrameMessage_ = 0;
  uint32_t eventMessage_ = 0;
  // Windows and messages posted to since the last removal.
  std::vector<std::pair<HWND, uint32_t>> postedTo_;
};
