#include <gtest/gtest.h>

#include <utility>

#include "channels/ChannelTypes.h"
#include "channels/SerialPortComponent.h"

namespace kest {
namespace {

TEST(SerialSettings, AcceptsEveryParityDataBitsAndStopBits) {
    auto s = parseSerialSettings("9600,N,8,1");
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, SerialSettings{});

    s = parseSerialSettings("115200,e,7,2");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->baudRate, 115200);
    EXPECT_EQ(s->parity, SerialParity::Even);
    EXPECT_EQ(s->dataBits, 7);
    EXPECT_EQ(s->stopBits, SerialStopBits::Two);

    s = parseSerialSettings(" 300 , O , 5 , 1.5 ");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->baudRate, 300);
    EXPECT_EQ(s->parity, SerialParity::Odd);
    EXPECT_EQ(s->dataBits, 5);
    EXPECT_EQ(s->stopBits, SerialStopBits::OneAndHalf);

    EXPECT_EQ(parseSerialSettings("1200,M,6,1")->parity, SerialParity::Mark);
    EXPECT_EQ(parseSerialSettings("1200,S,6,1")->parity, SerialParity::Space);
}

TEST(SerialSettings, RejectsHalfTypedAndMalformedTexts) {
    for (const char* bad : {"",
                            "9600",
                            "9600,N",
                            "9600,N,8",
                            "9600,N,8,",
                            "9600,N,8,1,",
                            "9600,X,8,1",
                            "9600,NN,8,1",
                            "9600,,8,1",
                            "9600,N,9,1",
                            "9600,N,4,1",
                            "9600,N,8,3",
                            "9600,N,8,1.0",
                            "0,N,8,1",
                            "-9600,N,8,1",
                            "96OO,N,8,1",
                            "9600.5,N,8,1",
                            "9999999999,N,8,1",
                            "9600;N;8;1",
                            "9600,N,8 8,1"}) {
        EXPECT_FALSE(parseSerialSettings(bad)) << bad;
    }
}

TEST(SerialSettings, AProblemNamesThePartThatIsWrongAndWhatItMayBe) {
    const std::pair<const char*, const char*> cases[] = {
        {"9600,X,8,1", "parity \"X\" is not one of N, E, O, M or S"},
        {"9600,N,9,1", "data bits \"9\" are not 5, 6, 7 or 8"},
        {"9600,N,8,3", "stop bits \"3\" are not 1, 1.5 or 2"},
        {"96OO,N,8,1", "bauds \"96OO\" are not a whole number above 0"},
        {"9600,N,8", "3 parts where Bauds,Parity,DataBits,StopBit are 4 (for example 9600,N,8,1)"},
    };
    for (const auto& [text, expected] : cases) {
        QString problem;
        EXPECT_FALSE(parseSerialSettings(text, &problem));
        EXPECT_EQ(problem.toStdString(), expected);
    }
    SerialPortComponent comm;
    try {
        comm.setSettings("9600,X,8,1");
        ADD_FAILURE() << "taken";
    } catch (const ComponentError& e) {
        EXPECT_STREQ(e.what(), "parity \"X\" is not one of N, E, O, M or S");
    }
}

TEST(SerialSettings, ComponentRefusesBadSettingsAndKeepsTheLastGoodOnes) {
    SerialPortComponent comm;
    EXPECT_NO_THROW(comm.setSettings("19200,E,7,1"));
    EXPECT_THROW(comm.setSettings("19200,E,7"), ComponentError);
    EXPECT_THROW(comm.setCommPort(0), ComponentError);
    EXPECT_THROW(comm.setCommPort(256), ComponentError);
    EXPECT_THROW(comm.setHandshaking(4), ComponentError);
    EXPECT_THROW(comm.input(), ComponentError);
    EXPECT_THROW(comm.setOutput("x"), ComponentError);
    // Closing a closed port is harmless; the lines are taken while closed.
    EXPECT_NO_THROW(comm.setPortOpen(false));
    EXPECT_NO_THROW(comm.setDTREnable(true));
    EXPECT_NO_THROW(comm.setRTSEnable(false));
}

}  // namespace
}  // namespace kest
