#pragma once
// In-memory controls that record, in order, every value the store applies.

#include <map>
#include <string>
#include <vector>

#include "config/ConfigControls.h"

namespace kest::testing {

class FakeConfigControls : public ConfigControls {
  public:
    FakeConfigControls() {
        texts[Text::CommPort] = "0";
        texts[Text::Delay] = ".2";
        texts[Text::ComCfg] = "9600,N,8,1";
        texts[Text::Handshaking] = "None";
        texts[Text::Prefix] = "";
        texts[Text::Suffix] = "";
        texts[Text::TargetWin] = "";
        texts[Text::IpTcp] = "0.0.0.0";
        texts[Text::IpPort] = "1024";
        texts[Text::FileDir] = "C:\\FILE_IN.TXT";
    }

    std::string instanceSuffix() const override { return suffix; }
    std::vector<std::string> searchRows() const override { return search; }
    std::vector<std::string> replaceRows() const override { return replace; }
    void appendSearchRow(const std::string& row) override {
        search.push_back(row);
        events.push_back("search:" + row);
    }
    void appendReplaceRow(const std::string& row) override {
        replace.push_back(row);
        events.push_back("replace:" + row);
    }
    std::vector<std::string> removeRows() const override { return remove; }
    void appendRemoveRow(const std::string& row) override {
        remove.push_back(row);
        events.push_back("remove:" + row);
    }
    std::string text(Text which) const override { return texts.at(which); }
    void setText(Text which, const std::string& value) override {
        texts[which] = value;
        events.push_back("text" + std::to_string(static_cast<int>(which)) + ":" + value);
    }
    int boxState(Box which) const override { return boxes.at(which); }
    void setBoxState(Box which, int state) override {
        boxes[which] = state;
        events.push_back("box" + std::to_string(static_cast<int>(which)) + ":" +
                         std::to_string(state));
    }
    bool serverSelected() const override { return server; }
    void selectServer() override {
        server = true;
        events.push_back("server");
    }
    void refreshHandshaking() override { events.push_back("handshaking"); }
    void logFailure(const std::string& what) override { failures.push_back(what); }

    std::string suffix;
    std::vector<std::string> search, replace, remove;
    std::map<Text, std::string> texts;
    std::map<Box, int> boxes{{Box::ApiKb, 0}, {Box::Rts, 1}, {Box::Dtr, 1}, {Box::Upper, 0}};
    bool server = false;
    std::vector<std::string> events;
    std::vector<std::string> failures;
};

}  // namespace kest::testing
