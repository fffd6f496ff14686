// A program that only carries an icon: the stand-in for one self-extractor variant.
int main() {
  return 0;
}
