#include "ControlTemplateTestSupport.h"

#include <fstream>
#include <iterator>

#include <QImage>

#include "config/QZIniFileReader.h"
#include "gui/GuiErrorLog.h"
#include "platform/FileNames.h"

void ControlTemplateTest::SetUp()
{
    wideFolder_ = qz::platform::WideFileName(folder_);
    CQZControlTemplateCache::Instance().Clear();
    CQZIniFileReader::ClearCache(true);
    CQZGuiErrorLog::SetObserver([this](const std::wstring& text) { reports_.push_back(text); });
}

void ControlTemplateTest::TearDown()
{
    CQZGuiErrorLog::SetObserver({});
    CQZControlTemplateCache::Instance().Clear();
    CQZIniFileReader::ClearCache(true);
}

void ControlTemplateTest::Write(const std::string& name, const std::string& text) const
{
    std::ofstream out(folder_ + "/" + name, std::ios::binary);
    out << text;
}

void ControlTemplateTest::WriteImage(const std::string& name, int width, int height) const
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgb(10, 20, 30));
    ASSERT_TRUE(image.save(QString::fromStdString(folder_ + "/" + name), "PNG"));
}

std::shared_ptr<CQZControlTemplateFile> ControlTemplateTest::Load(const std::string& name) const
{
    return CQZControlTemplateCache::Instance().Load(wideFolder_, qz::platform::WideFileName(name));
}

bool ControlTemplateTest::Reported(const std::wstring& part) const
{
    for (const std::wstring& text : reports_) {
        if (text.find(part) != std::wstring::npos)
            return true;
    }
    return false;
}

std::string ControlTemplateTest::ReadBytes(const std::wstring& path) const
{
    std::ifstream in(qz::platform::NativeFileName(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring ControlTemplateTest::Path(const std::string& name) const
{
    return wideFolder_ + L"/" + qz::platform::WideFileName(name);
}
