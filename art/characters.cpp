#include "character.h"

namespace chimewell::art {

std::vector<std::unique_ptr<Character>> allCharacters()
{
    std::vector<std::unique_ptr<Character>> all;
    all.push_back(makeMax());
    all.push_back(makePlany());
    all.push_back(makeGenie());
    all.push_back(makePeedy());
    all.push_back(makeRobby());
    all.push_back(makeMerlin());
    all.push_back(makeCheck());
    return all;
}

std::unique_ptr<Character> characterById(const QString &id)
{
    for (auto &c : allCharacters())
        if (c->id() == id)
            return std::move(c);
    return nullptr;
}

} // namespace chimewell::art
