# The product facts that the code, the launcher bundle's Info.plist, the
# desktop-entry script and the test programs share, each written here once.
# configure_file() carries them into each: the C++ header
# build/generated/product/ProductFacts.hpp (hexora_platform's include path),
# src/app/bundle/Info.plist.in and scripts/install-desktop-entry.sh.in.

# The launcher's bundle identifier, also its application-support folder's name.
set(HEXORA_LAUNCHER_BUNDLE_IDENTIFIER "com.tarq.hexora.mac.launcher")
# The URL schemes the launcher bundle registers itself as the handler of, and
# the name of that URL type in its Info.plist.
set(HEXORA_URL_SCHEMES hexoramac com.tarq.hexora)
set(HEXORA_URL_TYPE_NAME "com.tarq.hexora")
# The update API's platform numbers of the launcher and of the game.
set(HEXORA_LAUNCHER_UPDATE_PLATFORM 32)
set(HEXORA_GAME_UPDATE_PLATFORM 33)

# The scheme list spelled for each consumer.
list(LENGTH HEXORA_URL_SCHEMES HEXORA_URL_SCHEME_COUNT)
list(JOIN HEXORA_URL_SCHEMES "\", \"" schemes_cpp)
set(HEXORA_URL_SCHEMES_CPP "\"${schemes_cpp}\"")
list(JOIN HEXORA_URL_SCHEMES "</string>\n\t\t\t\t<string>" schemes_plist)
set(HEXORA_URL_SCHEMES_PLIST "<string>${schemes_plist}</string>")
list(JOIN HEXORA_URL_SCHEMES " " HEXORA_URL_SCHEMES_SHELL)

configure_file(${CMAKE_CURRENT_LIST_DIR}/ProductFacts.hpp.in ${CMAKE_BINARY_DIR}/generated/product/ProductFacts.hpp @ONLY)
set(HEXORA_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/generated)
