#pragma once
// An instance's saved configuration read without a window: plain values in place of
// the controls, for the command line's --explain. The switches couple as they do in
// the window (checking U.Case unchecks the API keyboard), so the values come out as a
// started copy would hold them.

#include <map>
#include <string>
#include <vector>

#include "config/ConfigControls.h"

namespace kest {

class SavedConfiguration : public ConfigControls {
  public:
    explicit SavedConfiguration(std::string instanceSuffix);

    std::string instanceSuffix() const override { return suffix_; }
    std::vector<std::string> searchRows() const override { return search_; }
    std::vector<std::string> replaceRows() const override { return replace_; }
    void appendSearchRow(const std::string& row) override { search_.push_back(row); }
    void appendReplaceRow(const std::string& row) override { replace_.push_back(row); }
    std::vector<std::string> removeRows() const override { return remove_; }
    void appendRemoveRow(const std::string& row) override { remove_.push_back(row); }
    std::string text(Text which) const override { return texts_.at(which); }
    void setText(Text which, const std::string& value) override { texts_[which] = value; }
    int boxState(Box which) const override { return boxes_.at(which); }
    void setBoxState(Box which, int state) override;
    bool serverSelected() const override { return server_; }
    void selectServer() override { server_ = true; }
    void refreshHandshaking() override {}
    void logFailure(const std::string& what) override { failures.push_back(what); }

    std::vector<std::string> failures;

  private:
    std::string suffix_;
    std::vector<std::string> search_, replace_, remove_;
    std::map<Text, std::string> texts_;
    std::map<Box, int> boxes_;
    bool server_ = false;
};

}  // namespace kest
