# The two commands of the README: `make demo` and `make test`.
PYTHON ?= python3
BUILD  ?= build/dev
JOBS   ?= 2

.PHONY: demo test deps build cpp-test py-test bench clean

deps:
	bash scripts/install-deps

# Sets everything up, installs the module and prints the example's text.
demo: deps
	$(PYTHON) -m pip install -q .
	cd examples && $(PYTHON) -c "import inkra; d = inkra.Document('arabic.pdf'); print(d); [print(repr(p)) for p in d]; print(d.text)"

build: deps
	cmake -S . -B $(BUILD) -DINKRA_TESTS=ON -DINKRA_PYTHON=ON -DPython_EXECUTABLE=$$(command -v $(PYTHON)) >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

cpp-test: build
	cd $(BUILD) && ctest -j$(JOBS) --output-on-failure

py-test: build
	INKRA_BUILD_DIR=$(abspath $(BUILD)) $(PYTHON) -m pytest -q tests/python

# Every test, C++ and Python.
test: cpp-test py-test

bench: deps
	cmake -S . -B build/bench -DINKRA_BENCH=ON -DINKRA_PYTHON=OFF >/dev/null
	cmake --build build/bench -j$(JOBS)

clean:
	rm -rf build
