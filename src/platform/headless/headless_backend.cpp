#include "platform/headless/headless_backend.h"

#include <algorithm>
#include <cmath>

#include "base/utf8.h"

namespace velloway::headless {
namespace {

platform::TextExtent DefaultMetrics(const platform::FontSpec& font, std::string_view text,
                                    int dpiY) {
  const int height =
      std::max(1, static_cast<int>(std::lround(font.Size * static_cast<float>(dpiY) / 72.0f)));
  int characters = 0;
  for (std::size_t pos = 0; pos < text.size(); ++characters) utf8::Decode(text, pos);
  return {characters * height / 2, height};
}

}  // namespace

// --- settings ---

bool HeadlessSettings::Write(std::string_view app, std::string_view section, std::string_view key,
                             std::string_view value) {
  return !writesFail_ && MemorySettings::Write(app, section, key, value);
}

// --- controls ---

class HeadlessBackend::NativeControlImpl : public platform::NativeControl {
 public:
  explicit NativeControlImpl(std::shared_ptr<HeadlessControl> state) : state_(std::move(state)) {}
  ~NativeControlImpl() override { state_->Events = nullptr; }
  void SetBounds(const platform::PixelRect& bounds) override { state_->Properties.Bounds = bounds; }
  void AddItem(std::string_view text) override { state_->Items.emplace_back(text); }
  void SetSelectedIndex(int index) override { state_->Selected = index; }
  int SelectedIndex() const override { return state_->Selected; }
  std::string SelectedText() const override {
    const int index = state_->Selected;
    const bool listed = index >= 0 && index < static_cast<int>(state_->Items.size());
    return listed ? state_->Items[static_cast<std::size_t>(index)] : std::string();
  }
  void SetChecked(bool checked) override { state_->Checked = checked; }
  bool IsChecked() const override { return state_->Checked; }

 private:
  std::shared_ptr<HeadlessControl> state_;
};

// --- windows ---

class HeadlessBackend::NativeWindowImpl : public platform::NativeWindow {
 public:
  NativeWindowImpl(HeadlessBackend& backend, platform::WindowId id) : backend_(backend), id_(id) {}
  ~NativeWindowImpl() override { backend_.windows_.erase(id_); }

  platform::WindowId Id() const override { return id_; }
  void SetCaption(std::string_view caption) override { State().Caption = caption; }
  void SetBounds(const platform::PixelRect& bounds) override { State().Bounds = bounds; }
  void KeepAboveOthers() override { State().AboveOthers = true; }
  platform::PixelRect EmbedIn(platform::WindowId host) override {
    State().Host = host;
    return FillHost();
  }
  platform::PixelRect FillHost() override {
    const auto pane = backend_.windows_.find(State().Host);
    if (pane != backend_.windows_.end()) {
      State().Bounds = {0, 0, pane->second.Bounds.Width(), pane->second.Bounds.Height()};
    }
    return {0, 0, State().Bounds.Width(), State().Bounds.Height()};
  }
  platform::PixelRect OuterBounds(const platform::PixelRect& client) const override {
    return client;
  }
  void Show() override { State().Visible = true; }
  void Invalidate(const platform::PixelRect& area) override {
    std::vector<platform::PixelRect>& areas = State().Invalidated;
    // As a system's update region does, areas nobody paints merge rather than pile up: a roll
    // played for days without painting (the checker's timeline) keeps a bounded list.
    if (areas.size() >= kMaxInvalidatedAreas) {
      platform::PixelRect all;
      for (const platform::PixelRect& kept : areas) all = all.Union(kept);
      areas.assign(1, all);
    }
    areas.push_back(area);
  }
  std::unique_ptr<platform::NativeControl> CreateControl(
      const platform::ControlProperties& properties, platform::ControlEvents& events) override {
    auto control = std::make_shared<HeadlessControl>(HeadlessControl{properties, &events, {}, -1});
    State().Controls.push_back(control);
    return std::make_unique<NativeControlImpl>(control);
  }

 private:
  HeadlessWindow& State() { return backend_.windows_.at(id_); }

  HeadlessBackend& backend_;
  platform::WindowId id_;
};

// --- the backend ---

HeadlessBackend::HeadlessBackend() = default;

HeadlessBackend::~HeadlessBackend() = default;

std::unique_ptr<platform::NativeWindow> HeadlessBackend::CreateNativeWindow(
    platform::WindowEvents& events, const platform::WindowStyle& style, std::string_view caption) {
  const platform::WindowId id = nextId_++;
  HeadlessWindow& window = windows_[id];
  window.Id = id;
  window.Caption = caption;
  window.Style = style;
  window.Events = &events;
  return std::make_unique<NativeWindowImpl>(*this, id);
}

platform::TextExtent HeadlessBackend::MeasureText(const platform::FontSpec& font,
                                                  std::string_view text) {
  return metrics_ ? metrics_(font, text) : DefaultMetrics(font, text, screen_.DpiY);
}

platform::PhaseImages HeadlessBackend::CreateTextImages(const platform::FontSpec& font,
                                                        std::string_view text,
                                                        platform::TextImageSpan span,
                                                        platform::PhaseSet phases, Color color,
                                                        Color background) {
  platform::PhaseImages images;
  const int height = MeasureText(font, text).Height;
  for (std::size_t phase = 0; phase < images.size(); ++phase) {
    if (!phases.test(phase)) continue;
    ++textImagesMade_;
    span.Phase = static_cast<int>(phase);
    images[phase] = std::make_unique<HeadlessTextImage>(font, std::string(text), span, color,
                                                        background, height);
  }
  return images;
}

void HeadlessBackend::ActivateOwnerOf(platform::WindowId host) {
  const auto owner = owners_.find(host);
  activated_ = owner == owners_.end() ? 0 : owner->second;
}

bool HeadlessBackend::FindRunningCopy(std::span<const std::string_view> captions) {
  ++runningCopySearches_;
  return std::any_of(windows_.begin(), windows_.end(), [&](const auto& entry) {
    return std::find(captions.begin(), captions.end(), entry.second.Caption) != captions.end();
  });
}

std::unique_ptr<platform::RunningCopyLock> HeadlessBackend::ClaimRunningCopyLock() {
  class HeldLock : public platform::RunningCopyLock {
   public:
    explicit HeldLock(bool& held) : held_(held) { held_ = true; }
    ~HeldLock() override { held_ = false; }

   private:
    bool& held_;
  };
  if (runningCopyLockHeld_) return nullptr;
  return std::make_unique<HeldLock>(runningCopyLockHeld_);
}

void HeadlessBackend::RunWaitingEvents() {
  if (observeEvents_) observeEvents_();
  while (!queued_.empty()) {
    const std::function<void()> event = std::move(queued_.front());
    queued_.pop_front();
    event();
  }
}

}  // namespace velloway::headless
