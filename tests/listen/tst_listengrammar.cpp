#include "listen/grammar.h"
#include "listen/pronunciation.h"

#include <QTest>

using namespace chimewell::listen;

// The voice texts of commands as the recogniser gets them, and the way back from
// the words heard to the command.
class TstListenGrammar final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void compile_data();
    void compile();
    void match_data();
    void match();
    void malformedLeavesOthers();
    void pronunciation_data();
    void pronunciation();
};

void TstListenGrammar::compile_data()
{
    QTest::addColumn<QString>("voice");
    QTest::addColumn<QString>("jsgf");  // empty: no spoken command
    QTest::addColumn<QString>("error"); // a part of the message, empty: none
    // The clock's commands, as its characters register them.
    QTest::newRow("properties") << "[Character] Properties" << "(properties | character properties)" << "";
    QTest::newRow("introduce") << "(Introduction | Introduce)" << "(introduction | introduce)" << "";
    QTest::newRow("home, trailing blank") << "[Move Me]Home " << "(home | move me home)" << "";
    QTest::newRow("date, trailing ?") << "What is the [date]?" << "(what is the | what is the date)" << "";
    QTest::newRow("tell shut up") << "tell [Shut Up]" << "(tell | tell shut up)" << "";
    QTest::newRow("to be quiet") << "[Tell] to be quiet" << "(to be quiet | tell to be quiet)" << "";
    QTest::newRow("all optional is required") << "[Future]" << "future" << "";
    QTest::newRow("exit") << "[Exit] Chimewell" << "(chimewell | exit chimewell)" << "";
    // Other shapes.
    QTest::newRow("nested") << "[please] (open | show [the]) clock"
                            << "(open clock | show clock | show the clock | please open clock | please show clock"
                               " | please show the clock)"
                            << "";
    QTest::newRow("all optional choice") << "[(a | b)] [c]" << "(a c | b c)" << "";
    QTest::newRow("punctuation and quotes") << "Don't, 'stop'!" << "don't stop" << "";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("only punctuation") << " ?! " << "" << "";
    QTest::newRow("many variants keep their shape") << QString(QStringLiteral("[a] ")).repeated(8) + QStringLiteral("b")
                                                     << "[a] [a] [a] [a] [a] [a] [a] [a] b" << "";
    // Malformed.
    QTest::newRow("unclosed [") << "[Move Me Home" << "" << "not closed";
    QTest::newRow("unclosed (") << "(a | b" << "" << "not closed";
    QTest::newRow("stray ]") << "Move] Me" << "" << "unbalanced";
    QTest::newRow("crossed") << "[a (b] c)" << "" << "not closed";
    QTest::newRow("empty alternative") << "(a | )" << "" << "empty alternative";
    QTest::newRow("empty first alternative") << "(| a)" << "" << "empty alternative";
    QTest::newRow("empty brackets") << "a [] b" << "" << "empty brackets";
    QTest::newRow("10000 characters") << QStringLiteral("word ").repeated(2000) << "" << "longer than";
    QTest::newRow("deep nesting") << QString(QStringLiteral("(")).repeated(40) + QStringLiteral("a") + QString(QStringLiteral(")")).repeated(40)
                                  << "" << "nested";
}

void TstListenGrammar::compile()
{
    QFETCH(QString, voice);
    QFETCH(QString, jsgf);
    QFETCH(QString, error);
    const Phrase p = Phrase::parse(voice);
    QCOMPARE(p.jsgf(), jsgf);
    if (error.isEmpty()) {
        QCOMPARE(p.error(), QString());
        QCOMPARE(p.isEmpty(), jsgf.isEmpty());
    } else {
        QVERIFY2(p.error().contains(error), qPrintable(p.error()));
        QVERIFY(!p.isValid());
        QVERIFY(!p.matches({QStringLiteral("word")}));
    }
}

void TstListenGrammar::match_data()
{
    QTest::addColumn<QString>("heard");
    QTest::addColumn<QString>("listener");
    QTest::addColumn<QString>("owner"); // empty: no command
    QTest::addColumn<QString>("name");
    QTest::newRow("character 1's date") << "what is the date" << "max" << "max" << "Date";
    QTest::newRow("same words: the listener takes it") << "what is the date" << "plany" << "plany" << "Date";
    QTest::newRow("nobody listening: the first") << "move me home" << "" << "max" << "default";
    QTest::newRow("only one has it") << "future" << "plany" << "max" << "Future";
    QTest::newRow("optional left out") << "home" << "max" << "max" << "default";
    QTest::newRow("alternative") << "introduction" << "max" << "max" << "Introduce";
    QTest::newRow("character 2's own shut") << "tell to be quiet" << "max" << "plany" << "Shut";
    QTest::newRow("a word too many") << "what is the date today" << "max" << "" << "";
    QTest::newRow("a word missing") << "move me" << "max" << "" << "";
    QTest::newRow("words out of order") << "home move me" << "max" << "" << "";
    QTest::newRow("all-optional text needs its word") << "" << "max" << "" << "";
    QTest::newRow("decoder's pronunciation marks") << "exit(2) chimewell" << "max" << "max" << "exit";
}

void TstListenGrammar::match()
{
    QFETCH(QString, heard);
    QFETCH(QString, listener);
    QFETCH(QString, owner);
    QFETCH(QString, name);
    const QString one = QStringLiteral("max"), two = QStringLiteral("plany");
    const Grammar g({{one, "Date", "What is the [date]?"},
                     {one, "default", "[Move Me]Home "},
                     {one, "Future", "[Future]"},
                     {one, "Introduce", "(Introduction | Introduce)"},
                     {one, "exit", "[Exit] Chimewell"},
                     {two, "Date", "What is the [date]?"},
                     {two, "default", "[Move Me]Home "},
                     {two, "Shut", "[Tell] to be quiet"}});
    const int i = g.match(Grammar::splitWords(heard), listener);
    if (owner.isEmpty()) {
        QCOMPARE(i, -1);
        return;
    }
    QVERIFY(i >= 0);
    QCOMPARE(g.entries().at(i).owner, owner);
    QCOMPARE(g.entries().at(i).name, name);
}

void TstListenGrammar::malformedLeavesOthers()
{
    const Grammar g({{"a", "Bad", "[Move Me Home"}, {"a", "Date", "What is the [date]?"}, {"b", "Date", "What is the [date]?"},
                     {"b", "Quiet", ""}});
    QVERIFY(g.errors().at(0).contains(QLatin1String("not closed")));
    QCOMPARE(g.errors().at(1), QString());
    QCOMPARE(g.errors().at(3), QString());
    // Each sentence once; the malformed and the silent one are not in it.
    QCOMPARE(g.jsgf(), QStringLiteral("#JSGF V1.0;\ngrammar commands;\npublic <command> = <c0>;\n"
                                      "<c0> = (what is the | what is the date);\n"));
    QCOMPARE(g.words(), (QStringList{"what", "is", "the", "date"}));
    QCOMPARE(g.match({"move", "me", "home"}), -1);
    QVERIFY(Grammar({{"a", "Bad", "(a |)"}}).isEmpty());
    QCOMPARE(Grammar({{"a", "Bad", "(a |)"}}).jsgf(), QString());
}

void TstListenGrammar::pronunciation_data()
{
    QTest::addColumn<QString>("espeak");
    QTest::addColumn<QString>("arpabet");
    QTest::newRow("Chimewell") << "tS_'aI_m_w_E_l" << "CH AY M W EH L";
    QTest::newRow("plany") << "p_l_'eI_n_i" << "P L EY N IY";
    QTest::newRow("variants fall back") << "p_r_'0_p_3_t#_i_z" << "P R AA P ER T IY Z";
    QTest::newRow("secondary stress, schwa") << ",I_n_t_r_@_d_'V_k_S_@_n" << "IH N T R AH D AH K SH AH N";
    QTest::newRow("diphthong with r") << "f_'aI3" << "F AY ER";
    QTest::newRow("voiced th and ng") << "D_'I_N" << "DH IH NG";
    QTest::newRow("unknown phoneme: none") << "b_'Q_x" << "";
    QTest::newRow("empty") << "" << "";
}

void TstListenGrammar::pronunciation()
{
    QFETCH(QString, espeak);
    QFETCH(QString, arpabet);
    QCOMPARE(arpabetFromEspeak(espeak), arpabet);
}

QTEST_GUILESS_MAIN(TstListenGrammar)
#include "tst_listengrammar.moc"
