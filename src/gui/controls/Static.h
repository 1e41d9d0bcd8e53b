// A skinned static text that can carry an animated icon.
#pragma once

#include "gui/controls/SkinnedControl.h"

#include <cstdint>

/// What a control carrying an animated icon offers.
class IQZAnimatedIconControl {
  public:
    virtual ~IQZAnimatedIconControl() = default;
    /// Shows the first frame and advances on timer kAnimationTimerId.
    virtual void StartAnimation() = 0;
    /// Kills the timer and shows the first frame again.
    virtual void StopAnimation() = 0;
    virtual bool IsAnimating() const = 0;
};

class CQZ_Static : public CQZ_SkinnedControl, public IQZAnimatedIconControl {
  public:
    /// The frame timer of the animated icon.
    static constexpr std::uint32_t kAnimationTimerId = 6238;

    CQZ_Static();
    ~CQZ_Static() override;

    void ApplyTemplate(const CQZControlTemplate* controlTemplate) override;

    void StartAnimation() override;
    void StopAnimation() override;
    bool IsAnimating() const override;
    /// The frame shown now (0 is the first) and the number of frames.
    int GetFrameIndex() const;
    int GetFrameCount() const;
    /// The frame interval the skin gives, in milliseconds.
    std::uint32_t GetFrameInterval() const;

  protected:
    const wchar_t* WindowClassName() const override { return L"Static"; }
    void OnAttached() override;
    qz::platform::LRESULT WindowProc(qz::platform::UINT msg, qz::platform::WPARAM wParam,
                                     qz::platform::LPARAM lParam) override;

  private:
    struct Skin;
    std::unique_ptr<Skin> skin_;
};
