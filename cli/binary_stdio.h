// Standard input and output as bytes: no line-end conversion on Windows.
#pragma once

void cli_binary_stdio();
