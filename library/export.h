/* VOLTRANE_EXPORT marks what libkorvex7.so exports: the factory, the C
 * interface and the exception the public header lets escape. The library is
 * built with hidden visibility, so everything else stays inside it. */
#ifndef VOLTRANE_LIBRARY_EXPORT_H_
#define VOLTRANE_LIBRARY_EXPORT_H_

#define VOLTRANE_EXPORT __attribute__((visibility("default")))

#endif /* VOLTRANE_LIBRARY_EXPORT_H_ */
