# The two commands a newcomer needs: `make run` and `make test`.
# Both install whatever Debian packages are missing first.
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)

.PHONY: setup configure build run test bench deb clean

setup:
	@bash scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLATORNE_TESTS=OFF

build: configure
	cmake --build $(BUILD) -j $(JOBS) --target quillatorne

run: build
	./$(BUILD)/quillatorne

# build/quillatorne_<version>_<arch>.deb
deb: build
	cd $(BUILD) && cpack -G DEB

bench: configure
	cmake --build $(BUILD) -j $(JOBS)

# Tests build with AddressSanitizer and UndefinedBehaviorSanitizer; the end-to-end
# tests start the sanitized program under their own Xvfb. A test that fails runs once more
# (its first failure stays in the output): on two busy cores a few end-to-end tests that
# drive whole desktops now and then miss a deadline.
test: setup
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLATORNE_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j $(JOBS)
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS) --repeat until-pass:2
	@bash scripts/extra-tests.sh

clean:
	rm -rf $(BUILD) $(TEST_BUILD) build-tsan
