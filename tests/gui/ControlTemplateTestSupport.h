// Temporary skin folders and a recorder for the GUI library's error reports.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/ControlTemplateCache.h"
#include "support/TempFolder.h"

class ControlTemplateTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    /// Writes `text` (UTF-8) as `name` into the temporary folder.
    void Write(const std::string& name, const std::string& text) const;
    /// Writes a small PNG as `name`.
    void WriteImage(const std::string& name, int width, int height) const;
    /// Loads `name` from the temporary folder through the cache.
    std::shared_ptr<CQZControlTemplateFile> Load(const std::string& name) const;
    /// Whether a report containing `part` was made.
    bool Reported(const std::wstring& part) const;
    std::string ReadBytes(const std::wstring& path) const;
    std::wstring Path(const std::string& name) const;

    qz::test::TempFolder temp_{"qz_gui_templates"};
    const std::string folder_ = temp_.string();
    std::wstring wideFolder_;
    std::vector<std::wstring> reports_;
};
