# Environment shared by the demo and the tests (tests/gui/CMakeLists.txt reads the `export` lines below into the
# environment of every GUI and end-to-end test; keep them one NAME=VALUE each). Never set inside the product.

# Qt WebEngine under Xvfb, as root and without a GPU: no Chromium sandbox, software drawing.
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
