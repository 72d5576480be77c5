#include <gtest/gtest.h>

#include <utility>

#include "channels/SerialSettings.h"

namespace kest {
namespace {

TEST(SerialSettings, AcceptsEveryParityDataBitsAndStopBits) {
    using P = SerialParity;
    using S = SerialStopBits;
    const std::pair<const char*, SerialSettings> cases[] = {
        {"9600,N,8,1", {}},
        {"115200,e,7,2", {115200, P::Even, 7, S::Two}},
        {" 300 , O , 5 , 1.5 ", {300, P::Odd, 5, S::OneAndHalf}},
        {"1200,M,6,1", {1200, P::Mark, 6, S::One}},
        {"1200,S,6,1", {1200, P::Space, 6, S::One}},
        {"999999999,N,8,1", {999999999, P::None, 8, S::One}},  // the most digits taken
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseSerialSettings(text), expected) << text;
    }
}

TEST(SerialSettings, RejectsHalfTypedAndMalformedTextsNamingThePartThatIsWrong) {
    const std::pair<const char*, const char*> named[] = {
        {"9600,X,8,1", "parity \"X\" is not one of N, E, O, M or S"},
        {"9600,N,9,1", "data bits \"9\" are not 5, 6, 7 or 8"},
        {"9600,N,8,3", "stop bits \"3\" are not 1, 1.5 or 2"},
        {"96OO,N,8,1", "bauds \"96OO\" are not a whole number above 0"},
        {"9600,N,8", "3 parts where Bauds,Parity,DataBits,StopBit are 4 (for example 9600,N,8,1)"},
    };
    for (const auto& [text, expected] : named) {
        QString problem;
        EXPECT_FALSE(parseSerialSettings(text, &problem));
        EXPECT_EQ(problem.toStdString(), expected);
    }
    for (const char* bad :
         {"", "9600", "9600,N", "9600,N,8,", "9600,N,8,1,", "9600,NN,8,1", "9600,,8,1",
          "9600,N,4,1", "9600,N,8,1.0", "0,N,8,1", "-9600,N,8,1", "9600.5,N,8,1", "+9600,N,8,1",
          "9999999999,N,8,1", "9600;N;8;1", "9600,N,8 8,1"}) {
        EXPECT_FALSE(parseSerialSettings(bad)) << bad;
    }
}

}  // namespace
}  // namespace kest
