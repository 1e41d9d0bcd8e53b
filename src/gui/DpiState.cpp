#include "gui/DpiState.h"

#include <atomic>

namespace {

std::atomic<bool> g_scaling{false};
std::atomic<int> g_dpiX{96};
std::atomic<int> g_dpiY{96};

} // namespace

void CQZDpiState::Set(bool scaling, int dpiX, int dpiY)
{
    g_dpiX = dpiX > 0 ? dpiX : 96;
    g_dpiY = dpiY > 0 ? dpiY : 96;
    g_scaling = scaling;
}

bool CQZDpiState::IsScaling()
{
    return g_scaling;
}

int CQZDpiState::GetDpiX()
{
    return g_dpiX;
}

int CQZDpiState::GetDpiY()
{
    return g_dpiY;
}
