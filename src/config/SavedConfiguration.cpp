#include "config/SavedConfiguration.h"

namespace kest {

SavedConfiguration::SavedConfiguration(std::string instanceSuffix)
    : suffix_(std::move(instanceSuffix)) {
    // The window's design values, which a file that lacks a line leaves in place.
    texts_ = {{Text::CommPort, "0"},        {Text::Delay, ".2"},
              {Text::ComCfg, "9600,N,8,1"}, {Text::Prefix, ""},
              {Text::Suffix, ""},           {Text::TargetWin, ""},
              {Text::Handshaking, "None"},  {Text::IpTcp, "0.0.0.0"},
              {Text::IpPort, "1024"},       {Text::FileDir, "C:\\FILE_IN.TXT"}};
    boxes_ = {{Box::ApiKb, 0}, {Box::Rts, 1}, {Box::Dtr, 1}, {Box::Upper, 0}};
}

void SavedConfiguration::setBoxState(Box which, int state) {
    boxes_[which] = state;
    if (which == Box::Upper && state == 1) boxes_[Box::ApiKb] = 0;
}

}  // namespace kest
