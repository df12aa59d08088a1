# The dial artwork: the resource file that carries app/resources/plovex_gauge.png as
# ":/plovex_gauge.png", and the program that draws the PNG.
#
# PLOVEX_GAUGE_RESOURCE_SOURCES holds the generated C++ source of the resource; plovex_gauge
# compiles it and registers it from its own code, so every program that links plovex_gauge
# finds the dial without further steps.
#
# make_gauge is built with everything else but never run by the build. After changing the
# drawing, regenerate the committed image:
#   <build>/gauge/make_gauge app/resources/plovex_gauge.png
include_guard(GLOBAL)

qt_add_resources(PLOVEX_GAUGE_RESOURCE_SOURCES ${PROJECT_SOURCE_DIR}/app/resources/gauge.qrc)

add_executable(make_gauge ${PROJECT_SOURCE_DIR}/app/tools/make_gauge.cpp)
target_link_libraries(make_gauge PRIVATE Qt6::Gui plovex_warnings)
